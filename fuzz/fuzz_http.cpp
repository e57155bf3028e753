// Fuzzing of CWHttpResponceBase: each input is parsed by the library and by
// the reference reading (http/internal/response_reference.h); result, code,
// reason, every header record, the body, the cut copy and GetHeaderValue for
// names taken from the input must agree. The same object then parses a
// second input and must yield exactly what a fresh object yields.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/http/httpresponse.h"
#include "cwbase/http/internal/response_reference.h"
#include "fuzz_util.h"

using cwbase_internal::kReferenceNone;
using cwbase_internal::ReferenceHttpParse;
using cwbase_internal::ReferenceHttpResponse;

namespace {

// Gives the fuzzer the parser's copy, so body offsets can be compared.
class Parser : public CWHttpResponceBase {
 public:
  const char* Copy() { return static_cast<const char*>(m_Copy.GetBuffer()); }
  unsigned long CopySize() { return m_Copy.GetSize(); }
};

std::string CString(const std::string& b, size_t at) {
  return std::string(b.c_str() + at);  // up to the first zero byte
}

// The parser's state against the reference reading of the same input: every
// pointer at the reference's offset in the copy, the copy cut alike.
void Compare(Parser& p, int result, const std::string& input,
             const std::vector<std::string>& names) {
  const ReferenceHttpResponse e = ReferenceHttpParse(input.data(), input.size());
  FUZZ_CHECK(result == e.m_Result);
  FUZZ_CHECK(p.GetHttpResult() == e.m_Code);
  if (e.m_Reason == kReferenceNone)
    FUZZ_CHECK(std::strcmp(p.GetReason(), "Not Found") == 0);
  else
    FUZZ_CHECK(p.GetReason() == p.Copy() + e.m_Reason);
  FUZZ_CHECK(p.CopySize() == input.size());
  FUZZ_CHECK(std::memcmp(p.Copy(), e.m_Copy.data(), input.size()) == 0);
  FUZZ_CHECK(p.GetHeaderCount() == static_cast<int>(e.m_Headers.size()));
  for (size_t i = 0; i < e.m_Headers.size(); ++i) {
    SWHttpHeader* h = p.GetHeaderAt(static_cast<int>(i));
    FUZZ_CHECK(h && h->name == p.Copy() + e.m_Headers[i].m_Name &&
               h->value == p.Copy() + e.m_Headers[i].m_Value);
  }
  FUZZ_CHECK(p.GetHeaderAt(-1) == nullptr && p.GetHeaderAt(p.GetHeaderCount()) == nullptr);
  if (e.m_Body == kReferenceNone) {
    FUZZ_CHECK(p.GetBody() == nullptr && p.GetBodyLength() == 0);
  } else {
    FUZZ_CHECK(p.GetBody() == p.Copy() + e.m_Body);
    FUZZ_CHECK(p.GetBodyLength() == e.m_BodyLength);
    FUZZ_CHECK(std::memcmp(p.GetBody(), input.data() + e.m_Body, p.GetBodyLength()) == 0);
  }
  FUZZ_CHECK(p.GetHeaderValue(nullptr) == nullptr);
  for (const std::string& name : names) {
    const char* want = nullptr;
    for (size_t i = 0; i < e.m_Headers.size() && !want; ++i)
      if (CString(e.m_Copy, static_cast<size_t>(e.m_Headers[i].m_Name)) == name)
        want = p.Copy() + e.m_Headers[i].m_Value;
    FUZZ_CHECK(p.GetHeaderValue(name.c_str()) == want);
  }
}

std::vector<std::string> Names(const std::string& input) {
  // Candidate names: every run before a colon, plus a few fixed ones.
  std::vector<std::string> names = {"", "Content-Type", "content-type"};
  size_t start = 0;
  for (size_t i = 0; i < input.size() && names.size() < 24; ++i) {
    if (input[i] == '\n') start = i + 1;
    if (input[i] == ':' && i >= start) names.push_back(CString(input.substr(start, i - start), 0));
  }
  return names;
}

int ParseBlock(Parser& p, const std::string& text) {
  CWBlock block;
  if (!text.empty()) block.SetBuffer(const_cast<char*>(text.data()), text.size());
  int r = p.Parse(block);
  FUZZ_CHECK(block.GetSize() == text.size());  // the given block is unchanged
  FUZZ_CHECK(text.empty() || std::memcmp(block.GetBuffer(), text.data(), text.size()) == 0);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  // Two responses, separated by the first "\x01\x02" (or none).
  size_t cut = all.find("\x01\x02");
  std::string first = all.substr(0, cut);
  std::string second = cut == std::string::npos ? std::string() : all.substr(cut + 2);

  Parser p;
  FUZZ_CHECK(p.GetHttpResult() == 400 && std::strcmp(p.GetReason(), "Not Found") == 0);
  int r = ParseBlock(p, first);
  if (first.empty()) {
    FUZZ_CHECK(r == -1 && p.GetHttpResult() == 400 && p.GetHeaderCount() == 0);
  } else {
    Compare(p, r, first, Names(first));
  }

  // An empty block changes nothing; a block with storage but length 0 too.
  CWBlock empty;
  FUZZ_CHECK(p.Parse(empty) == -1);
  CWBlock zeroLength(16);
  zeroLength.SetSize(0);
  FUZZ_CHECK(p.Parse(zeroLength) == -1);
  if (!first.empty()) Compare(p, r, first, Names(first));

  // Reuse: the second response as a fresh object would read it.
  if (!second.empty()) {
    r = ParseBlock(p, second);
    Compare(p, r, second, Names(second));
  }
  return 0;
}
