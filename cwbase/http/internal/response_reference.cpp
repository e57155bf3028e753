// The reference reading of an HTTP response: the parsing rules applied one
// line at a time, each scan a plain loop over the copy.
#include "cwbase/http/internal/response_reference.h"

#include <climits>
#include <cstdlib>

namespace cwbase_internal {
namespace {

// The first `byte` in copy[from, end), or `end` when there is none.
unsigned long Find(const std::string& copy, char byte, unsigned long from, unsigned long end) {
  while (from < end && copy[from] != byte) ++from;
  return from;
}

// One line of the copy. A line ends at the first CR from its start: a CR
// followed by LF ends it properly (both become zero bytes and its text is
// what lies before the CR); a CR without an LF after it makes an empty,
// unterminated line and the byte after the CR is passed over; without a CR
// the rest of the copy is an empty, unterminated line and nothing follows.
struct Line {
  bool m_Terminated;
  unsigned long m_Start;
  unsigned long m_Length;  // text bytes; 0 when unterminated
  unsigned long m_Next;    // where the next line starts; at least the size when none does
};

Line ReadLine(std::string& copy, unsigned long start) {
  const unsigned long size = copy.size();
  const unsigned long cr = Find(copy, '\r', start, size);
  if (cr == size) return {false, start, 0, size};
  if (cr + 1 < size && copy[cr + 1] == '\n') {
    copy[cr] = '\0';
    copy[cr + 1] = '\0';
    return {true, start, cr - start, cr + 2};
  }
  return {false, start, 0, cr + 2};
}

// The status line, `length` text bytes from offset 0: "PROTOCOL CODE REASON",
// or " CODE REASON" without a protocol token.
void ReadStatusLine(std::string& copy, unsigned long length, ReferenceHttpResponse& out) {
  if (length == 0) return;
  unsigned long code = 0;        // where the code text starts
  unsigned long searchFrom = 1;  // where the code's space is looked for
  unsigned long needAfter = 1;   // bytes that must follow the code's space
  if (copy[0] != ' ') {
    const unsigned long space = Find(copy, ' ', 1, length);
    if (space == length || space + 1 == length) return;  // no space, or nothing after it
    copy[space] = '\0';
    code = space + 1;
    searchFrom = code;
    needAfter = 2;
  }
  const unsigned long space = Find(copy, ' ', searchFrom, length);
  if (space == length || space == code) return;
  if (length - (space + 1) < needAfter) return;
  copy[space] = '\0';
  out.m_Code = static_cast<int>(std::strtol(copy.c_str() + code, nullptr, 10));
  out.m_Reason = static_cast<long>(space + 1);
  out.m_Result = 0;
}

// A line of the header section: "Name: value". The value starts two bytes
// after the first colon, whatever the byte between them is.
void ReadHeaderLine(std::string& copy, const Line& line, ReferenceHttpResponse& out) {
  if (!line.m_Terminated || copy[0] == '\0' || copy[line.m_Start] == ':') return;
  const unsigned long end = line.m_Start + line.m_Length;
  const unsigned long colon = Find(copy, ':', line.m_Start, end);
  if (colon == end) return;
  copy[colon] = '\0';
  out.m_Headers.push_back({static_cast<long>(line.m_Start), static_cast<long>(colon + 2)});
}

}  // namespace

ReferenceHttpResponse ReferenceHttpParse(const char* data, unsigned long size) {
  ReferenceHttpResponse out;
  if (!data || size == 0) return out;
  out.m_Result = -2;
  out.m_Copy.assign(data, size);
  if (size > static_cast<unsigned long>(INT_MAX)) return out;
  std::string& copy = out.m_Copy;

  Line line = ReadLine(copy, 0);
  if (line.m_Terminated) ReadStatusLine(copy, line.m_Length, out);
  // The header section runs up to the first line that begins with CR LF,
  // right after the status line included; the body is what follows that
  // empty line, if anything does.
  for (unsigned long pos = line.m_Next; pos < size; pos = line.m_Next) {
    if (pos + 1 < size && copy[pos] == '\r' && copy[pos + 1] == '\n') {
      if (pos + 2 < size) {
        out.m_Body = static_cast<long>(pos + 2);
        out.m_BodyLength = size - (pos + 2);
      }
      break;
    }
    line = ReadLine(copy, pos);
    ReadHeaderLine(copy, line, out);
  }
  return out;
}

}  // namespace cwbase_internal
