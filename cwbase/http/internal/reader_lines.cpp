// HttpReaderState: the framing decision at the end of the header section,
// and chunk-size lines.
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "cwbase/http/internal/http_chars.h"
#include "cwbase/http/internal/reader_state.h"

namespace cwbase_internal {
namespace {

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

HttpReaderState::Step HttpReaderState::EndHead(long end) {
  if (!m_Head.Publish()) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, end);
  m_Head.m_Text.Data()[m_ReasonEnd] = '\0';
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
      if (std::strcmp(value, "chunked") == 0) {
        chunked = true;  // the usual value, a list of one
        continue;
      }
      ForEachElement(value, [&](const char* coding, long length, long) {
        chunked = NameIs(coding, length, "chunked");
        return true;
      });
    } else {
      if (std::strcmp(value, "keep-alive") == 0 || std::strcmp(value, "close") == 0) {
        (value[0] == 'c' ? close : keepAlive) = true;  // the usual values, lists of one
        continue;
      }
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
    // The usual value: one number of up to 18 digits, which cannot overflow.
    long digits = 0;
    long n = 0;
    for (; digits < 18 && IsDigit(value[digits]); ++digits) n = n * 10 + (value[digits] - '0');
    if (digits > 0 && value[digits] == '\0') {
      if (length >= 0 && n != length) return Fail(CWHTTP_ERROR_CONTENT_LENGTH, field.m_ValueOffset);
      length = n;
      continue;
    }
    long fault = -1;
    bool any = false;
    ForEachElement(value, [&](const char* number, long size, long at) {
      long n = 0;
      for (long i = 0; i < size; ++i) {
        // n * 10 + digit passes LONG_MAX exactly when this holds.
        const long digit = number[i] - '0';
        if (!IsDigit(number[i]) || n > LONG_MAX / 10 ||
            (n == LONG_MAX / 10 && digit > LONG_MAX % 10)) {
          fault = at + i;
          return false;
        }
        n = n * 10 + digit;
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
  if (length >= 0 && firstLength) {
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
  return StartChunk(size, start, end);
}

HttpReaderState::Step HttpReaderState::StartChunk(long size, long start, long end) {
  if (size > LONG_MAX - m_Body.Size()) return Fail(CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW, start);
  if (m_Limits.bodyBytes > 0 && m_Body.Size() + size > m_Limits.bodyBytes)
    return Fail(CWHTTP_ERROR_BODY_TOO_LARGE, start);
  m_SectionStart = end;
  if (size == 0) {
    m_Tail.Clear(end);
    m_Phase = kTrailers;
    return kGo;
  }
  m_Remaining = size;
  m_Phase = kChunkData;
  return kGo;
}

}  // namespace cwbase_internal
