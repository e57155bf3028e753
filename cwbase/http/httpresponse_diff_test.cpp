// Differential test of CWHttpResponceBase::Parse against the straightforward
// parser it replaced: line by line with memchr, header records appended one
// at a time with CWDynArray::Add, the copy taken with CWBlock::operator=.
// Both run over random and mutated responses, fresh and reused, and must
// leave the same state: result, code, reason, every record as offsets into
// the copy, body offset, the copy's bytes up to its capacity, and the header
// list's length and capacity.
#include "cwbase/http/httpresponse.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char kInitialReason[] = "Not Found";

// The straightforward parser, kept as the reference for the fast one.
class ReferenceParser {
 public:
  CWBlock m_Copy;
  CWDynArray<SWHttpHeader> m_Headers;
  char* m_pBody = nullptr;
  int m_nResult = 400;
  const char* m_pReason = kInitialReason;

  int Parse(CWBlock& response) {
    if (!response.GetBuffer() || response.GetSize() == 0) return -1;
    m_Copy = response;
    m_nResult = 400;
    m_pReason = kInitialReason;
    m_pBody = nullptr;
    m_Headers.RemoveAll();
    const unsigned long size = m_Copy.GetSize();
    if (size > static_cast<unsigned long>(INT_MAX)) return -2;
    char* buf = static_cast<char*>(m_Copy.GetBuffer());
    Line line = ReadLine(buf, size, 0);
    const int result = line.text && ParseStatusLine(line.text, line.length) ? 0 : -2;
    bool canStore = true;
    for (unsigned long pos = line.next; pos < size; pos = line.next) {
      if (pos + 1 < size && buf[pos] == '\r' && buf[pos + 1] == '\n') {
        if (pos + 2 < size) m_pBody = buf + pos + 2;
        break;
      }
      line = ReadLine(buf, size, pos);
      if (line.text) ParseHeaderLine(line.text, line.length, canStore);
    }
    return result;
  }

 private:
  struct Line {
    char* text;
    unsigned long length;
    unsigned long next;
  };

  static Line ReadLine(char* buf, unsigned long size, unsigned long start) {
    void* found = std::memchr(buf + start, '\r', size - start);
    if (!found) return {nullptr, 0, size};
    unsigned long cr = static_cast<unsigned long>(static_cast<char*>(found) - buf);
    if (cr + 1 < size && buf[cr + 1] == '\n') {
      buf[cr] = '\0';
      buf[cr + 1] = '\0';
      return {buf + start, cr - start, cr + 2};
    }
    return {nullptr, 0, cr + 2};
  }

  static char* FindSpace(char* text, unsigned long from, unsigned long length) {
    if (from >= length) return nullptr;
    return static_cast<char*>(std::memchr(text + from, ' ', length - from));
  }

  bool ParseStatusLine(char* text, unsigned long length) {
    char* code = text;
    unsigned long rest = length;
    unsigned long from = 1;
    unsigned long after = 1;
    if (length == 0) return false;
    if (text[0] != ' ') {
      char* space = FindSpace(text, 1, length);
      if (!space || space + 1 == text + length) return false;
      *space = '\0';
      code = space + 1;
      rest = length - static_cast<unsigned long>(code - text);
      from = 0;
      after = 2;
    }
    char* space = FindSpace(code, from, rest);
    if (!space || space == code) return false;
    if (rest - static_cast<unsigned long>(space - code) - 1 < after) return false;
    *space = '\0';
    m_nResult = static_cast<int>(std::strtol(code, nullptr, 10));
    m_pReason = space + 1;
    return true;
  }

  void ParseHeaderLine(char* text, unsigned long length, bool& canStore) {
    const char* copy = static_cast<const char*>(m_Copy.GetBuffer());
    if (copy[0] == '\0' || length == 0 || text[0] == ':') return;
    char* colon = static_cast<char*>(std::memchr(text, ':', length));
    if (!colon) return;
    *colon = '\0';
    if (!canStore) return;
    SWHttpHeader* header = m_Headers.Add();
    if (!header) {
      canStore = false;
      return;
    }
    header->name = text;
    header->value = colon + 2;
  }
};

// The parser under test, with its copy and header list in view.
struct FastParser : CWHttpResponceBase {
  CWBlock& Copy() { return m_Copy; }
  CWDynArray<SWHttpHeader>& Headers() { return m_Headers; }
  int ParseOwnCopy() { return Parse(m_Copy); }
};

// Everything observable, with pointers as offsets into the copy (-1: null,
// -2: outside the copy, which only the initial reason may be).
struct State {
  int result, code;
  long reason;
  std::string reasonText;
  std::vector<long> records;  // name, value, name, value, ...
  long body;
  std::string copyBytes;  // up to the capacity
  unsigned long copyLength, headerLength, headerCapacity;
  std::string headerTail;  // header list bytes beyond its data

  bool operator==(const State& o) const {
    return result == o.result && code == o.code && reason == o.reason &&
           reasonText == o.reasonText && records == o.records && body == o.body &&
           copyBytes == o.copyBytes && copyLength == o.copyLength &&
           headerLength == o.headerLength && headerCapacity == o.headerCapacity &&
           headerTail == o.headerTail;
  }
};

long Offset(CWBlock& copy, const char* p) {
  if (!p) return -1;
  const char* begin = static_cast<const char*>(copy.GetBuffer());
  if (!begin || p < begin || p >= begin + copy.GetCapacity()) return -2;
  return static_cast<long>(p - begin);
}

State Take(int result, int code, const char* reason, char* body, CWBlock& copy,
           CWDynArray<SWHttpHeader>& headers) {
  State s;
  s.result = result;
  s.code = code;
  s.reason = Offset(copy, reason);
  s.reasonText = s.reason == -2 ? reason : "";
  for (int i = 0; i < headers.GetCount(); ++i) {
    s.records.push_back(Offset(copy, headers.GetAt(i)->name));
    s.records.push_back(Offset(copy, headers.GetAt(i)->value));
  }
  s.body = Offset(copy, body);
  s.copyBytes.assign(static_cast<const char*>(copy.GetBuffer()), copy.GetCapacity());
  s.copyLength = copy.GetSize();
  s.headerLength = headers.GetSize();
  s.headerCapacity = headers.GetCapacity();
  if (headers.GetBuffer())
    s.headerTail.assign(static_cast<const char*>(headers.GetBuffer()) + headers.GetSize(),
                        headers.GetCapacity() - headers.GetSize());
  return s;
}

State Take(FastParser& p, int result) {
  return Take(result, p.GetHttpResult(), p.GetReason(), p.GetBody(), p.Copy(), p.Headers());
}

State Take(ReferenceParser& p, int result) {
  return Take(result, p.m_nResult, p.m_pReason, p.m_pBody, p.m_Copy, p.m_Headers);
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
std::string MakeResponse(std::mt19937& rng, int headers) {
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
  std::string out = kStatus[rng() % 5];
  out += "\r\n";
  for (int i = 0; i < headers; ++i) {
    out += kNames[rng() % 8];
    out += ": ";
    out += std::string(rng() % 90, static_cast<char>('a' + rng() % 26));
    if (rng() % 4 == 0) out += ":port";
    out += "\r\n";
  }
  out += "\r\n";
  out += std::string(rng() % 80, 'b');
  return out;
}

// Changes a few bytes: overwrites, inserts or deletes one of the bytes the
// parser looks at, or cuts the text short.
void Mutate(std::mt19937& rng, std::string& text) {
  static const char kBytes[] = {'\r', '\n', ' ', ':', '\0', 'x'};
  for (int n = 1 + static_cast<int>(rng() % 3); n > 0 && !text.empty(); --n) {
    const size_t at = rng() % text.size();
    const char byte = kBytes[rng() % sizeof kBytes];
    switch (rng() % 4) {
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

// Parses `text` with both parsers (fresh and the given reused pair) from a
// block of exactly its length and compares the states.
void Compare(const std::string& text, FastParser& fastReused, ReferenceParser& refReused) {
  CWBlock block(const_cast<char*>(text.data()), text.size());
  FastParser fast;
  ReferenceParser ref;
  const int fastResult = fast.Parse(block);
  const int refResult = ref.Parse(block);
  ASSERT_TRUE(Take(fast, fastResult) == Take(ref, refResult)) << "fresh: " << Describe(text);
  ASSERT_EQ(std::string(static_cast<char*>(block.GetBuffer()), block.GetSize()), text);

  const int fastAgain = fastReused.Parse(block);
  const int refAgain = refReused.Parse(block);
  ASSERT_TRUE(Take(fastReused, fastAgain) == Take(refReused, refAgain))
      << "reused: " << Describe(text);
}

}  // namespace

TEST(CWHttpResponceBaseDiff, RandomBytes) {
  // Mostly the bytes that steer the parser, so lines, colons and empty lines
  // come often, and digits and a sign for status codes; lengths reach past
  // several 64-byte chunks.
  const char alphabet[] = {'\r', '\n', ' ', ':', 'A', '2', '\0', 'x', '\r', '\n', '0', '-'};
  std::mt19937 rng(20240611);
  FastParser fastReused;
  ReferenceParser refReused;
  for (int round = 0; round < 20000; ++round) {
    std::string text(rng() % 200, '\0');
    for (char& ch : text) ch = alphabet[rng() % sizeof alphabet];
    if (round % 3 == 0) text.insert(0, "HTTP/1.1 200 OK\r\n");
    Compare(text, fastReused, refReused);
    if (HasFatalFailure()) return;
  }
}

TEST(CWHttpResponceBaseDiff, MutatedResponses) {
  std::mt19937 rng(777);
  FastParser fastReused;
  ReferenceParser refReused;
  for (int round = 0; round < 8000; ++round) {
    // Up to 80 headers: past the batch the fast parser gathers at once.
    std::string text = MakeResponse(rng, static_cast<int>(rng() % (round % 10 == 0 ? 80 : 20)));
    if (round % 4 != 0) Mutate(rng, text);
    Compare(text, fastReused, refReused);
    if (HasFatalFailure()) return;
  }
}

TEST(CWHttpResponceBaseDiff, ReusedObjectsShrinkAndGrow) {
  // A long response, then short ones, then a long one again: the copy and the
  // header list keep their storage and must be cleared exactly alike.
  std::mt19937 rng(99);
  FastParser fastReused;
  ReferenceParser refReused;
  const int sizes[] = {60, 0, 3, 1, 45, 70, 2, 0, 33};
  for (int headers : sizes) {
    Compare(MakeResponse(rng, headers), fastReused, refReused);
    if (HasFatalFailure()) return;
  }
  Compare(std::string(1, '\r'), fastReused, refReused);
  Compare(std::string(1, 'x'), fastReused, refReused);
}

TEST(CWHttpResponceBaseDiff, ParsingTheOwnCopyAgain) {
  // Parsing the object's own (already cut) copy: an assignment to itself
  // leaves the copy as it is, and the parse runs over the cut text.
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::string text = MakeResponse(rng, static_cast<int>(rng() % 10));
    if (round % 2) Mutate(rng, text);
    CWBlock block(const_cast<char*>(text.data()), text.size());
    FastParser fast;
    ReferenceParser ref;
    fast.Parse(block);
    ref.Parse(block);
    const int fastResult = fast.ParseOwnCopy();
    const int refResult = ref.Parse(ref.m_Copy);
    ASSERT_TRUE(Take(fast, fastResult) == Take(ref, refResult)) << Describe(text);
  }
}
