// Fuzzing of CWHttpResponceBase: each input is parsed by the library and by a
// short transcription of the documented algorithm working on offsets; result,
// code, reason, every header record, the body and GetHeaderValue for names
// taken from the input must agree. The same object then parses a second input
// and must yield exactly what a fresh object yields.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/http/httpresponse.h"
#include "fuzz_util.h"

namespace {

// Gives the fuzzer the parser's copy, so body offsets can be compared.
class Parser : public CWHttpResponceBase {
 public:
  const char* Copy() { return static_cast<const char*>(m_Copy.GetBuffer()); }
  unsigned long CopySize() { return m_Copy.GetSize(); }
};

struct Expected {
  int result = -2;
  int code = 400;
  std::string reason = "Not Found";
  std::vector<std::pair<std::string, std::string>> headers;
  long body = -1;  // offset in the copy, -1 for none
};

std::string CString(const std::string& b, size_t at) {
  return std::string(b.c_str() + at);  // up to the first zero byte
}

Expected Reference(std::string b) {
  Expected e;
  const size_t len = b.size();
  size_t pos = 0;
  bool first = true;
  while (pos < len) {
    // One line: text [pos, pos + n) when it ends with CR LF.
    size_t cr = b.find('\r', pos);
    bool terminated = false, last = false;
    size_t n = 0, next;
    if (cr == std::string::npos) {
      last = true;
      next = len;
    } else if (cr + 1 < len && b[cr + 1] == '\n') {
      terminated = true;
      n = cr - pos;
      b[cr] = b[cr + 1] = '\0';
      next = cr + 2;
    } else {
      next = cr + 2;
    }
    if (first) {
      first = false;
      if (terminated && n > 0) {
        size_t code = pos, end = pos + n, need = 1;
        bool ok = true;
        if (b[pos] != ' ') {
          size_t sp = b.find(' ', pos + 1);
          if (sp == std::string::npos || sp >= end || sp + 1 >= end) {
            ok = false;
          } else {
            b[sp] = '\0';
            code = sp + 1;
            need = 2;
          }
        }
        if (ok) {
          size_t from = b[pos] != ' ' ? code : pos + 1;
          size_t cs = b.find(' ', from);
          if (cs != std::string::npos && cs < end && cs != code && end - (cs + 1) >= need) {
            b[cs] = '\0';
            e.code = static_cast<int>(std::strtol(b.c_str() + code, nullptr, 10));
            e.reason = CString(b, cs + 1);
            e.result = 0;
          }
        }
      }
    } else if (terminated && b[0] != '\0' && n > 0 && b[pos] != ':') {
      size_t colon = b.find(':', pos);
      if (colon < pos + n) {
        b[colon] = '\0';
        e.headers.emplace_back(CString(b, pos), CString(b, colon + 2));
      }
    }
    if (last || next >= len) break;
    if (next + 1 < len && b[next] == '\r' && b[next + 1] == '\n') {
      if (next + 2 < len) e.body = static_cast<long>(next + 2);
      break;
    }
    pos = next;
  }
  return e;
}

void Compare(Parser& p, int result, const std::string& input,
             const std::vector<std::string>& names) {
  Expected e = Reference(input);
  FUZZ_CHECK(result == e.result);
  FUZZ_CHECK(p.GetHttpResult() == e.code);
  FUZZ_CHECK(e.reason == p.GetReason());
  FUZZ_CHECK(p.CopySize() == input.size());
  FUZZ_CHECK(p.GetHeaderCount() == static_cast<int>(e.headers.size()));
  for (size_t i = 0; i < e.headers.size(); ++i) {
    SWHttpHeader* h = p.GetHeaderAt(static_cast<int>(i));
    FUZZ_CHECK(h && h->name && h->value);
    FUZZ_CHECK(e.headers[i].first == h->name && e.headers[i].second == h->value);
    // Both strings lie inside the copy.
    FUZZ_CHECK(h->name >= p.Copy() && h->name < p.Copy() + p.CopySize());
    FUZZ_CHECK(h->value >= p.Copy() && h->value <= p.Copy() + p.CopySize());
  }
  FUZZ_CHECK(p.GetHeaderAt(-1) == nullptr && p.GetHeaderAt(p.GetHeaderCount()) == nullptr);
  if (e.body < 0) {
    FUZZ_CHECK(p.GetBody() == nullptr && p.GetBodyLength() == 0);
  } else {
    FUZZ_CHECK(p.GetBody() == p.Copy() + e.body);
    FUZZ_CHECK(p.GetBodyLength() == input.size() - static_cast<size_t>(e.body));
    FUZZ_CHECK(std::memcmp(p.GetBody(), input.data() + e.body, p.GetBodyLength()) == 0);
  }
  FUZZ_CHECK(p.GetHeaderValue(nullptr) == nullptr);
  for (const std::string& name : names) {
    const char* want = nullptr;
    for (size_t i = 0; i < e.headers.size() && !want; ++i)
      if (e.headers[i].first == name) want = p.GetHeaderAt(static_cast<int>(i))->value;
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
