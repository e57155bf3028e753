// CWHttpResponceBase: one forward pass over the parser's own copy of the
// response, cutting lines, the status line and header fields in place.
//
// Every scan is bounded by the copy's length: the copy carries no terminator
// beyond its data, so only the zero bytes written over CR LF pairs and
// separators end the strings handed out.
//
// Speed, without changing any result:
// - Line ends and colons are found through a bit map of the CRs and colons of
//   each 64-byte chunk of the copy, built once per chunk (internal/byte_map.h),
//   instead of a memchr call per line and per colon.
// - The header records of one Parse are gathered in batches on the stack and
//   the header list grows once per batch rather than once per record; it ends
//   with the same records, length, capacity and zero tail that appending them
//   one at a time leaves (internal/pending_headers.h).
// - The copy is taken with SetBuffer, which clears only the bytes beyond the
//   new data instead of the whole storage first; the copy's bytes and
//   capacity are those an assignment leaves.
#include "cwbase/http/httpresponse.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "cwbase/http/internal/byte_map.h"
#include "cwbase/http/internal/pending_headers.h"

using cwbase_internal::ByteMap;
using cwbase_internal::PendingHeaders;

namespace {

const char kInitialReason[] = "Not Found";
const int kInitialResult = 400;

// The first space in text[from, length), or null. Status lines are short:
// a plain loop beats a library call here.
char* FindSpace(char* text, unsigned long from, unsigned long length) {
  for (; from < length; ++from)
    if (text[from] == ' ') return text + from;
  return nullptr;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The zero-terminated code text read as strtol reads base 10, narrowed to int;
// three digits alone, the usual form, are read directly.
int ReadCode(const char* code) {
  if (IsDigit(code[0]) && IsDigit(code[1]) && IsDigit(code[2]) && code[3] == '\0')
    return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  return static_cast<int>(std::strtol(code, nullptr, 10));
}

// The status line, `length` text bytes at `text`: "PROTOCOL CODE REASON", or
// " CODE REASON" without a protocol token. Sets the code and reason and
// returns true when a code is read; cuts the line with zero bytes.
bool ParseStatusLine(char* text, unsigned long length, int& result, const char*& reason) {
  // The code text starts at `code` and runs for `rest` bytes; its space is
  // searched from `from` on and needs `after` bytes behind it.
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
  result = ReadCode(code);
  reason = space + 1;
  return true;
}

}  // namespace

CWHttpResponceBase::CWHttpResponceBase()
    : m_pBody(nullptr), m_nResult(kInitialResult), m_pReason(kInitialReason) {}

CWHttpResponceBase::~CWHttpResponceBase() {
  m_Headers.Reset();
  m_Copy.Reset();
}

int CWHttpResponceBase::Parse(CWBlock& response) {
  if (!response.GetBuffer() || response.GetSize() == 0) return -1;
  // May throw; until it succeeds nothing has changed. Parsing the object's
  // own copy again leaves the copy as it is, as an assignment would.
  if (&response != &m_Copy) m_Copy.SetBuffer(response.GetBuffer(), response.GetSize());

  // Nothing from an earlier Parse survives: its pointers may refer to storage
  // the copy has just released or overwritten.
  m_nResult = kInitialResult;
  m_pReason = kInitialReason;
  m_pBody = nullptr;

  const unsigned long size = m_Copy.GetSize();
  if (size > static_cast<unsigned long>(INT_MAX)) {
    m_Headers.RemoveAll();
    return -2;
  }
  char* const buf = static_cast<char*>(m_Copy.GetBuffer());

  // Status line: it counts only when it ends with CR LF. Without a CR nothing
  // follows it; a lone CR passes over the byte after it.
  ByteMap map(buf, size);
  int result = -2;
  unsigned long pos = map.NextCR(0);
  if (pos < size) {
    if (pos + 1 < size && buf[pos + 1] == '\n') {
      buf[pos] = '\0';
      buf[pos + 1] = '\0';
      if (ParseStatusLine(buf, pos, m_nResult, m_pReason)) result = 0;
    }
    pos += 2;
  }

  // Header section. A copy that starts with a zero byte (also one that begins
  // with CR LF) records no header; colons are then left as they are.
  const bool record = buf[0] != '\0';
  PendingHeaders headers(m_Headers);
  while (pos < size) {
    // An empty line (CR LF) ends the section; the body starts after it, if
    // anything follows.
    if (pos + 1 < size && buf[pos] == '\r' && buf[pos + 1] == '\n') {
      if (pos + 2 < size) m_pBody = buf + pos + 2;
      break;
    }
    // The name runs to the first colon or CR; a colon in first place does
    // not count, and no colon is looked for when nothing is recorded.
    char* colon = nullptr;
    unsigned long end = record ? map.NextCROrColon(pos) : map.NextCR(pos);
    if (end < size && buf[end] == ':') {
      if (end > pos) colon = buf + end;
      end = map.NextCR(end + 1);
    }
    if (end == size) break;  // an unterminated last line
    if (end + 1 < size && buf[end + 1] == '\n') {
      buf[end] = '\0';
      buf[end + 1] = '\0';
      // "Name: value": the value starts two bytes after the colon, at worst
      // at the zeroed LF of this line.
      if (colon) {
        *colon = '\0';
        headers.Push(buf + pos, colon + 2);
      }
    }
    // A lone CR passes over the byte after it.
    pos = end + 2;
  }
  headers.Finish();
  return result;
}

char* CWHttpResponceBase::GetHeaderValue(char const* name) {
  if (!name) return nullptr;
  const int count = m_Headers.GetCount();
  for (int i = 0; i < count; ++i) {
    SWHttpHeader* header = m_Headers.GetAt(i);
    if (header->name && std::strcmp(header->name, name) == 0) return header->value;
  }
  return nullptr;
}

unsigned long CWHttpResponceBase::GetBodyLength() {
  if (!m_pBody) return 0;
  return m_Copy.GetSize() -
         static_cast<unsigned long>(m_pBody - static_cast<char*>(m_Copy.GetBuffer()));
}

SWHttpHeader* CWHttpResponceBase::GetHeaderAt(int index) {
  if (index < 0 || index >= m_Headers.GetCount()) return nullptr;
  return m_Headers.GetAt(index);
}
