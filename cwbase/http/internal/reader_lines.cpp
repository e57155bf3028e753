// HttpReaderState: the lines of a response. The status line, header and
// trailer fields (with obsolete folding), the framing decision at the end of
// the header section, and chunk-size lines.
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "cwbase/http/internal/reader_state.h"

namespace cwbase_internal {
namespace {

// The token characters of field names: letters, digits and !#$%&'*+-.^_`|~.
struct TokenTable {
  bool m_Token[256];
  constexpr TokenTable() : m_Token() {
    for (int c = '0'; c <= '9'; ++c) m_Token[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) m_Token[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) m_Token[c] = true;
    for (const char* p = "!#$%&'*+-.^_`|~"; *p; ++p) m_Token[static_cast<unsigned char>(*p)] = true;
  }
};
constexpr TokenTable kTokens;

bool IsToken(char c) {
  return kTokens.m_Token[static_cast<unsigned char>(c)];
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// [begin, end) of text[0, length) without surrounding spaces and tabs.
void Trim(const char* text, long& begin, long& end) {
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
}

bool NameIs(const char* name, long length, const char* want) {
  return length == static_cast<long>(std::strlen(want)) &&
         strncasecmp(name, want, static_cast<size_t>(length)) == 0;
}

// Calls visit(element, length, offset) for each non-empty element of a
// comma-separated list, trimmed; `offset` is the element's offset in `text`.
template <typename Visit>
bool ForEachElement(const char* text, Visit visit) {
  const long length = static_cast<long>(std::strlen(text));
  long begin = 0;
  while (begin <= length) {
    const char* comma = static_cast<const char*>(std::memchr(text + begin, ',', length - begin));
    long end = comma ? comma - text : length;
    long b = begin;
    long e = end;
    Trim(text, b, e);
    if (e > b && !visit(text + b, e - b, b)) return false;
    begin = end + 1;
  }
  return true;
}

}  // namespace

HttpReaderState::Step HttpReaderState::StatusLine(const char* line, long length, long start) {
  // "HTTP/1.x NNN", then the end or one space and the reason.
  static const char kPattern[] = "HTTP/1.D DDD";
  const long patternLength = sizeof kPattern - 1;
  for (long i = 0; i < patternLength; ++i) {
    if (i == length) return Fail(CWHTTP_ERROR_STATUS_LINE, start + i);
    const bool ok = kPattern[i] == 'D' ? IsDigit(line[i]) : line[i] == kPattern[i];
    if (!ok) return Fail(CWHTTP_ERROR_STATUS_LINE, start + i);
  }
  if (line[9] == '0') return Fail(CWHTTP_ERROR_STATUS_LINE, start + 9);  // below 100
  if (length > patternLength && line[patternLength] != ' ')
    return Fail(CWHTTP_ERROR_STATUS_LINE, start + patternLength);
  m_Minor = line[7] - '0';
  m_Status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  const long reason = std::min(length, patternLength + 1);
  ByteBuffer& text = m_Head.m_Text;
  if (!text.Reserve(length - reason + 1)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, start);
  text.Append(line + reason, length - reason);
  text.Push('\0');
  m_Phase = kHeaders;
  return kGo;
}

HttpReaderState::Step HttpReaderState::FieldLine(Fields& fields, const Line& field, bool head) {
  const char* line = field.m_Text;
  const long length = field.m_Length;
  const long start = field.m_Start;
  ByteBuffer& text = fields.m_Text;
  if (IsSpace(line[0])) {
    // Obsolete folding: the line continues the value before it, joined by
    // one space.
    if (fields.m_Offsets.empty()) return Fail(CWHTTP_ERROR_HEADER_NAME, start);
    long begin = 0;
    long end = length;
    Trim(line, begin, end);
    if (begin == end) return kGo;
    if (!text.Reserve(end - begin + 2)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, start);
    text.Truncate(text.Size() - 1);  // the value's terminating zero
    if (text.Size() > fields.m_Offsets.back()) text.Push(' ');
    text.Append(line + begin, end - begin);
    text.Push('\0');
    return kGo;
  }

  // The name runs to the first colon, and every byte of it must be a token
  // character; the check runs without a branch per byte. A fault is
  // reported at the first byte that is not a token character.
  const long name = field.m_Colon >= 0 ? field.m_Colon : length;
  bool token = field.m_Colon > 0;
  for (long i = 0; i < name; ++i) token &= IsToken(line[i]);
  if (!token) {
    long bad = 0;
    while (bad < length && IsToken(line[bad])) ++bad;
    return Fail(CWHTTP_ERROR_HEADER_NAME, start + bad);
  }
  const long count = static_cast<long>(fields.m_Offsets.size() / 2);
  if (count >= m_Limits.headerCount) return Fail(CWHTTP_ERROR_TOO_MANY_HEADERS, start);
  long begin = name + 1;
  long end = length;
  Trim(line, begin, end);

  // One copy of the line up to the value's end, cut where the colon was.
  if (!text.Reserve(end + 1)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, start);
  const long nameOffset = text.Size();
  text.Append(line, end);
  text.Push('\0');
  text.Data()[nameOffset + name] = '\0';
  fields.m_Offsets.push_back(nameOffset);
  fields.m_Offsets.push_back(nameOffset + begin);

  if (head && (name == 10 || name == 14 || name == 17)) {
    // The fields the framing decision reads.
    Special kind;
    if (NameIs(line, name, "Content-Length"))
      kind = kContentLength;
    else if (NameIs(line, name, "Transfer-Encoding"))
      kind = kTransferEncoding;
    else if (NameIs(line, name, "Connection"))
      kind = kConnection;
    else
      return kGo;
    m_Specials.push_back(SpecialField{kind, static_cast<int>(count), start, start + begin});
  }
  return kGo;
}

HttpReaderState::Step HttpReaderState::EndHead(long end) {
  m_Head.Publish();
  m_HeadRead = true;

  const SpecialField* firstLength = nullptr;
  const SpecialField* firstCoding = nullptr;
  bool chunked = false;
  bool close = false;
  bool keepAlive = false;
  for (const SpecialField& field : m_Specials) {
    const char* value = m_Head.m_Records[static_cast<size_t>(field.m_Index)].value;
    if (field.m_Kind == kContentLength) {
      if (!firstLength) firstLength = &field;
    } else if (field.m_Kind == kTransferEncoding) {
      if (!firstCoding) firstCoding = &field;
      // The last coding of all the fields decides.
      ForEachElement(value, [&](const char* coding, long length, long) {
        chunked = NameIs(coding, length, "chunked");
        return true;
      });
    } else {
      ForEachElement(value, [&](const char* option, long length, long) {
        close = close || NameIs(option, length, "close");
        keepAlive = keepAlive || NameIs(option, length, "keep-alive");
        return true;
      });
    }
  }
  if (firstLength && firstCoding)
    return Fail(CWHTTP_ERROR_SMUGGLING,
                std::max(firstLength->m_LineOffset, firstCoding->m_LineOffset));

  // Content-Length: every number of every field must be the same.
  long length = -1;
  for (const SpecialField& field : m_Specials) {
    if (field.m_Kind != kContentLength) continue;
    const char* value = m_Head.m_Records[static_cast<size_t>(field.m_Index)].value;
    long fault = -1;
    bool any = false;
    ForEachElement(value, [&](const char* number, long size, long at) {
      long n = 0;
      for (long i = 0; i < size; ++i) {
        if (!IsDigit(number[i]) || n > (LONG_MAX - (number[i] - '0')) / 10) {
          fault = at + i;
          return false;
        }
        n = n * 10 + (number[i] - '0');
      }
      if (length >= 0 && n != length) {
        fault = at;
        return false;
      }
      length = n;
      any = true;
      return true;
    });
    if (fault < 0 && !any) fault = 0;
    if (fault >= 0) return Fail(CWHTTP_ERROR_CONTENT_LENGTH, field.m_ValueOffset + fault);
  }
  m_ContentLength = length;

  if (m_Minor >= 1)
    m_KeepAlive = !close;
  else
    m_KeepAlive = keepAlive && !close && !firstCoding;
  if (m_Status == 101) m_KeepAlive = false;

  if (m_HeadRequest || m_Status < 200 || m_Status == 204 || m_Status == 304) {
    m_Framing = CWHTTP_FRAMING_NONE;
    m_Phase = kDone;
    return kComplete;
  }
  if (chunked) {
    m_Framing = CWHTTP_FRAMING_CHUNKED;
    m_Phase = kChunkSize;
    m_SectionStart = end;
    return kGo;
  }
  if (length >= 0) {
    if (m_Limits.bodyBytes > 0 && length > m_Limits.bodyBytes)
      return Fail(CWHTTP_ERROR_BODY_TOO_LARGE, firstLength->m_LineOffset);
    if (length == 0) {
      m_Framing = CWHTTP_FRAMING_NONE;
      m_Phase = kDone;
      return kComplete;
    }
    // Room for the body up front, but no more than a modest amount: the
    // length is only a claim until the bytes arrive.
    if (!m_Body.Reserve(std::min(length, 1L << 20) + 1))
      return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, end);
    m_Framing = CWHTTP_FRAMING_LENGTH;
    m_Remaining = length;
    m_Phase = kBodyLength;
    return kGo;
  }
  m_Framing = CWHTTP_FRAMING_CLOSE;
  m_KeepAlive = false;
  m_Phase = kBodyClose;
  return kGo;
}

HttpReaderState::Step HttpReaderState::ChunkSizeLine(const char* line, long length, long start,
                                                     long end) {
  long size = 0;
  long i = 0;
  for (; i < length && HexValue(line[i]) >= 0; ++i) {
    if (size > (LONG_MAX >> 4)) return Fail(CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW, start + i);
    size = size * 16 + HexValue(line[i]);
  }
  if (i == 0) return Fail(CWHTTP_ERROR_CHUNK_SIZE, start);
  while (i < length && IsSpace(line[i])) ++i;
  // Extensions (";name=value...") are skipped.
  if (i < length && line[i] != ';') return Fail(CWHTTP_ERROR_CHUNK_SIZE, start + i);
  if (size > LONG_MAX - m_Body.Size()) return Fail(CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW, start);
  if (m_Limits.bodyBytes > 0 && m_Body.Size() + size > m_Limits.bodyBytes)
    return Fail(CWHTTP_ERROR_BODY_TOO_LARGE, start);
  m_SectionStart = end;
  if (size == 0) {
    m_Phase = kTrailers;
    return kGo;
  }
  m_Remaining = size;
  m_Phase = kChunkData;
  return kGo;
}

}  // namespace cwbase_internal
