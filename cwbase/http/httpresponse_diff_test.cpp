// Differential test of CWHttpResponceBase::Parse against the reference
// reading (http/internal/response_reference.h) over random and mutated
// responses, with fresh and reused objects. Besides what the reference
// yields (result, code, reason, every record, body, the cut copy), the
// object's storage must be what its block operations leave: the copy and the
// header list keep storage that is large enough, otherwise take exactly what
// they need, and are zero beyond their data.
#include "cwbase/http/httpresponse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "cwbase/http/internal/response_reference.h"
#include "testing/random.h"

using cwbase_internal::kReferenceNone;
using cwbase_internal::ReferenceHttpParse;
using cwbase_internal::ReferenceHttpResponse;

namespace {

// The parser under test, with its copy and header list in view.
struct Parser : CWHttpResponceBase {
  CWBlock& Copy() { return m_Copy; }
  CWDynArray<SWHttpHeader>& Headers() { return m_Headers; }
  int ParseOwnCopy() { return Parse(m_Copy); }
};

// A pointer as an offset into the copy: kReferenceNone for null, -2 for a
// pointer outside the copy's data.
long Offset(Parser& p, const char* pointer) {
  if (!pointer) return kReferenceNone;
  const char* begin = static_cast<const char*>(p.Copy().GetBuffer());
  if (!begin || pointer < begin || pointer >= begin + p.Copy().GetSize()) return -2;
  return static_cast<long>(pointer - begin);
}

bool AllZero(CWBlock& block) {
  const char* data = static_cast<const char*>(block.GetBuffer());
  return std::all_of(data + block.GetSize(), data + block.GetCapacity(),
                     [](char c) { return c == '\0'; });
}

// The first difference between the parser's state after Parse returned
// `result` and what the reference expects; empty when there is none.
// `copyCapacity` and `headerCapacity` are the capacities before the Parse.
std::string Mismatch(Parser& p, int result, const ReferenceHttpResponse& want,
                     unsigned long copyCapacity, unsigned long headerCapacity) {
  if (result != want.m_Result) return "result " + std::to_string(result);
  if (p.GetHttpResult() != want.m_Code) return "code " + std::to_string(p.GetHttpResult());
  if (want.m_Reason == kReferenceNone) {
    if (Offset(p, p.GetReason()) != -2 || std::strcmp(p.GetReason(), "Not Found") != 0)
      return "initial reason";
  } else if (Offset(p, p.GetReason()) != want.m_Reason) {
    return "reason";
  }
  if (p.GetHeaderCount() != static_cast<int>(want.m_Headers.size()))
    return "header count " + std::to_string(p.GetHeaderCount());
  for (size_t i = 0; i < want.m_Headers.size(); ++i) {
    const SWHttpHeader* h = p.GetHeaderAt(static_cast<int>(i));
    if (Offset(p, h->name) != want.m_Headers[i].m_Name ||
        Offset(p, h->value) != want.m_Headers[i].m_Value)
      return "header " + std::to_string(i);
  }
  if (Offset(p, p.GetBody()) != want.m_Body) return "body";
  if (p.GetBodyLength() != want.m_BodyLength) return "body length";

  CWBlock& copy = p.Copy();
  if (std::string(static_cast<const char*>(copy.GetBuffer()), copy.GetSize()) != want.m_Copy)
    return "copy bytes";
  if (copy.GetCapacity() != std::max(copyCapacity, copy.GetSize()) || !AllZero(copy))
    return "copy storage";
  CWDynArray<SWHttpHeader>& headers = p.Headers();
  const unsigned long headerBytes = want.m_Headers.size() * sizeof(SWHttpHeader);
  if (headers.GetSize() != headerBytes ||
      headers.GetCapacity() != std::max(headerCapacity, headerBytes) ||
      (headers.GetBuffer() && !AllZero(headers)))
    return "header list storage";
  return {};
}

std::string Describe(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c < 32 || c > 126)
      out += "\\x" + std::to_string(c);
    else
      out += static_cast<char>(c);
  }
  return out;
}

// A plausible response: status line, `headers` header lines of varied
// lengths (some longer than 64 bytes, so lines cross the scan's chunks), an
// empty line and a short body.
std::string MakeResponse(CWTestRandom& rng, int headers) {
  static const char* const kStatus[] = {"HTTP/1.1 200 OK", "HTTP/1.1 404 Not Found",
                                        "HTTP/1.0 304 Not Modified", " 200 OK", "HTTP/1.1 204 X"};
  static const char* const kNames[] = {"Date",
                                       "Server",
                                       "Content-Type",
                                       "ETag",
                                       "X",
                                       "Set-Cookie",
                                       "Strict-Transport-Security",
                                       "A-Rather-Long-Header-Name-Here"};
  std::string out = rng.Pick(kStatus);
  out += "\r\n";
  for (int i = 0; i < headers; ++i) {
    out += rng.Pick(kNames);
    out += ": ";
    out += std::string(rng.Below(90), static_cast<char>('a' + rng.Below(26)));
    if (rng.OneIn(4)) out += ":port";
    out += "\r\n";
  }
  out += "\r\n";
  out += std::string(rng.Below(80), 'b');
  return out;
}

// Changes a few bytes: overwrites, inserts or deletes one of the bytes the
// parser looks at, or cuts the text short.
void Mutate(CWTestRandom& rng, std::string& text) {
  static const char kBytes[] = {'\r', '\n', ' ', ':', '\0', 'x'};
  for (int n = 1 + static_cast<int>(rng.Below(3)); n > 0 && !text.empty(); --n) {
    const size_t at = rng.Below(static_cast<uint32_t>(text.size()));
    const char byte = rng.Pick(kBytes);
    switch (rng.Below(4)) {
      case 0:
        text[at] = byte;
        break;
      case 1:
        text.insert(text.begin() + static_cast<long>(at), byte);
        break;
      case 2:
        text.erase(at, 1);
        break;
      default:
        text.resize(at);
        break;
    }
  }
}

// An object parsed again and again, with what the reference says it holds.
struct Reused {
  Parser m_Parser;
  ReferenceHttpResponse m_Expected;  // the initial state to begin with
};

// Parses `text` from a block of exactly its length with a fresh object and
// with `reused`, and checks both against the reference. A -1 result leaves
// the reused object as it was.
void Compare(const std::string& text, Reused& reused) {
  CWBlock block(const_cast<char*>(text.data()), text.size());
  const ReferenceHttpResponse want = ReferenceHttpParse(text.data(), text.size());
  Parser fresh;
  const int freshResult = fresh.Parse(block);
  ASSERT_EQ(Mismatch(fresh, freshResult, want, 0, 0), "") << "fresh: " << Describe(text);
  ASSERT_EQ(std::string(static_cast<char*>(block.GetBuffer()), block.GetSize()), text);

  Parser& p = reused.m_Parser;
  const unsigned long copyCapacity = p.Copy().GetCapacity();
  const unsigned long headerCapacity = p.Headers().GetCapacity();
  const int result = p.Parse(block);
  if (want.m_Result != -1) reused.m_Expected = want;
  reused.m_Expected.m_Result = want.m_Result;
  ASSERT_EQ(Mismatch(p, result, reused.m_Expected, copyCapacity, headerCapacity), "")
      << "reused: " << Describe(text);
}

}  // namespace

TEST(CWHttpResponceBaseDiff, RandomBytes) {
  // Mostly the bytes that steer the parser, so lines, colons and empty lines
  // come often, and digits and a sign for status codes; lengths reach past
  // several 64-byte chunks.
  const char alphabet[] = {'\r', '\n', ' ', ':', 'A', '2', '\0', 'x', '\r', '\n', '0', '-'};
  CWTestRandom rng(20240611);
  Reused reused;
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng.Below(200), '\0');
    for (char& ch : text) ch = rng.Pick(alphabet);
    if (round % 3 == 0) text.insert(0, "HTTP/1.1 200 OK\r\n");
    Compare(text, reused);
    if (HasFatalFailure()) return;
  }
}

TEST(CWHttpResponceBaseDiff, MutatedResponses) {
  CWTestRandom rng(777);
  Reused reused;
  for (int round = 0; round < 8000; ++round) {
    // Up to 80 headers: past the batch the fast parser gathers at once.
    std::string text = MakeResponse(rng, static_cast<int>(rng.Below(round % 10 == 0 ? 80 : 20)));
    if (round % 4 != 0) Mutate(rng, text);
    Compare(text, reused);
    if (HasFatalFailure()) return;
  }
}

TEST(CWHttpResponceBaseDiff, ReusedObjectsShrinkAndGrow) {
  // A long response, then short ones, then a long one again: the copy and the
  // header list keep their storage and must be cleared beyond the new data.
  CWTestRandom rng(99);
  Reused reused;
  const int sizes[] = {60, 0, 3, 1, 45, 70, 2, 0, 33};
  for (int headers : sizes) {
    Compare(MakeResponse(rng, headers), reused);
    if (HasFatalFailure()) return;
  }
  Compare(std::string(1, '\r'), reused);
  Compare(std::string(1, 'x'), reused);
}

TEST(CWHttpResponceBaseDiff, ParsingTheOwnCopyAgain) {
  // Parsing the object's own (already cut) copy leaves the copy as it is and
  // reads the cut text as any other.
  CWTestRandom rng(5);
  for (int round = 0; round < 200; ++round) {
    std::string text = MakeResponse(rng, static_cast<int>(rng.Below(10)));
    if (round % 2) Mutate(rng, text);
    CWBlock block(const_cast<char*>(text.data()), text.size());
    Parser p;
    p.Parse(block);
    const std::string cut(static_cast<const char*>(p.Copy().GetBuffer()), p.Copy().GetSize());
    const unsigned long copyCapacity = p.Copy().GetCapacity();
    const unsigned long headerCapacity = p.Headers().GetCapacity();
    const int result = p.ParseOwnCopy();
    ASSERT_EQ(Mismatch(p, result, ReferenceHttpParse(cut.data(), cut.size()), copyCapacity,
                       headerCapacity),
              "")
        << Describe(text);
  }
}
