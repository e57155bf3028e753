// CWHttpResponceBase: one forward pass over the parser's own copy of the
// response, cutting lines, the status line and header fields in place.
//
// Every scan is bounded by the copy's length: the copy carries no terminator
// beyond its data, so only the zero bytes written over CR LF pairs and
// separators end the strings handed out.
#include "cwbase/http/httpresponse.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const char kInitialReason[] = "Not Found";
const int kInitialResult = 400;

// One line of the copy. `text` is null and `length` 0 for an unterminated line
// (a CR without LF after it, or no CR at all); `next` is where the following
// line starts and may lie at or beyond the end of the copy.
struct Line {
  char* text;
  unsigned long length;
  unsigned long next;
};

// Reads the line starting at `start` (< size). A CR LF pair ends the line and
// both bytes become zero; a lone CR skips itself and the byte after it.
Line ReadLine(char* buf, unsigned long size, unsigned long start) {
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

// The first space in text[from, length), or null.
char* FindSpace(char* text, unsigned long from, unsigned long length) {
  if (from >= length) return nullptr;
  return static_cast<char*>(std::memchr(text + from, ' ', length - from));
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
  m_Copy = response;  // may throw; until it succeeds nothing has changed

  // Nothing from an earlier Parse survives: its pointers may refer to storage
  // the assignment has just released or overwritten.
  m_nResult = kInitialResult;
  m_pReason = kInitialReason;
  m_pBody = nullptr;
  m_Headers.RemoveAll();

  const unsigned long size = m_Copy.GetSize();
  if (size > static_cast<unsigned long>(INT_MAX)) return -2;
  char* buf = static_cast<char*>(m_Copy.GetBuffer());

  Line line = ReadLine(buf, size, 0);
  const int result = line.text && ParseStatusLine(line.text, line.length) ? 0 : -2;

  // Header section: before each line, an empty line (CR LF) ends it and the
  // body starts after that line, if anything follows.
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

bool CWHttpResponceBase::ParseStatusLine(char* text, unsigned long length) {
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
  m_nResult = static_cast<int>(std::strtol(code, nullptr, 10));
  m_pReason = space + 1;
  return true;
}

void CWHttpResponceBase::ParseHeaderLine(char* text, unsigned long length, bool& canStore) {
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
  // Two bytes after the colon: at worst the zeroed LF of this line's CR LF.
  header->value = colon + 2;
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
