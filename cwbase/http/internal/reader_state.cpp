// HttpReaderState: the feed loop, chunk lines, body bytes and the
// bookkeeping of results and errors. Field sections (status line, header
// fields, trailers) are read in reader_fields.cpp, chunk sizes and the
// framing decision in reader_lines.cpp.
#include "cwbase/http/internal/reader_state.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "cwbase/http/internal/http_chars.h"
#include "cwbase/http/internal/line_scan.h"

namespace cwbase_internal {

const char* HttpErrorMessage(int code) {
  switch (code) {
    case CWHTTP_ERROR_NONE:
      return "no error";
    case CWHTTP_ERROR_ARGUMENT:
      return "negative size, or null data with a size above 0";
    case CWHTTP_ERROR_STATUS_LINE:
      return "the status line is not HTTP/1.x, a three-digit code and an optional reason";
    case CWHTTP_ERROR_LINE_END:
      return "a CR not followed by LF";
    case CWHTTP_ERROR_NUL:
      return "a NUL byte in a line of the message";
    case CWHTTP_ERROR_HEADER_NAME:
      return "a field name that is not a token followed by a colon";
    case CWHTTP_ERROR_CONTENT_LENGTH:
      return "Content-Length is not one decimal number";
    case CWHTTP_ERROR_SMUGGLING:
      return "Transfer-Encoding and Content-Length in one response";
    case CWHTTP_ERROR_CHUNK_SIZE:
      return "a chunk line that is not a hexadecimal size with optional extensions";
    case CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW:
      return "a chunk size too large";
    case CWHTTP_ERROR_CHUNK_END:
      return "chunk data not followed by a line end";
    case CWHTTP_ERROR_HEADER_TOO_LARGE:
      return "the header or trailer section is larger than the limit";
    case CWHTTP_ERROR_TOO_MANY_HEADERS:
      return "more header or trailer fields than the limit";
    case CWHTTP_ERROR_BODY_TOO_LARGE:
      return "the body is larger than the limit";
    case CWHTTP_ERROR_TRUNCATED:
      return "the connection closed before the response was complete";
    case CWHTTP_ERROR_OUT_OF_MEMORY:
      return "out of memory";
    default:
      return "unknown error";
  }
}

const SWHttpHeader* HttpReaderState::Fields::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &m_Records[static_cast<size_t>(index)];
}

const char* HttpReaderState::Fields::Value(const char* name) const {
  if (!name) return nullptr;
  for (int i = 0; i < m_Count; ++i)
    if (strcasecmp(m_Records[static_cast<size_t>(i)].name, name) == 0)
      return m_Records[static_cast<size_t>(i)].value;
  return nullptr;
}

void HttpReaderState::Fields::Clear(long base) {
  m_Text.Clear();
  m_Base = base;
  m_LineStart = 0;
  m_ScanFrom = 0;
  m_Cuts.clear();
  m_Folds.clear();
  m_Count = 0;
}

void HttpReaderState::Reset(bool headRequest) {
  m_Status = 0;
  m_Minor = -1;
  m_HeadRead = false;
  m_Reason = 0;
  m_ReasonEnd = 0;
  m_Head.Clear(0);
  m_Tail.Clear(0);
  m_Body.Clear();
  m_Framing = CWHTTP_FRAMING_UNKNOWN;
  m_ContentLength = -1;
  m_KeepAlive = false;
  m_Error = CWHttpError{CWHTTP_ERROR_NONE, 0, HttpErrorMessage(CWHTTP_ERROR_NONE)};
  m_Phase = kStart;
  m_HeadRequest = headRequest;
  m_Fed = 0;
  m_Carry.Clear();
  m_CarryStart = 0;
  m_CarryEndsWithCR = false;
  m_SectionStart = 0;
  m_Remaining = 0;
  m_Specials.clear();
}

int HttpReaderState::Feed(const char* data, long size, long* used) {
  if (used) *used = 0;
  if (m_Phase == kDone) return 0;
  if (m_Phase == kFailed) return -1;
  if (size < 0 || (!data && size > 0)) {
    Fail(CWHTTP_ERROR_ARGUMENT, m_Fed);
    return -1;
  }
  if (!data) data = "";  // no bytes: nothing is read from it
  long pos = 0;
  Step step;
  try {
    step = Run(data, size, pos);
  } catch (const std::bad_alloc&) {
    step = Fail(CWHTTP_ERROR_OUT_OF_MEMORY, m_Fed + pos);
  }
  if (step == kFail) return -1;
  if (step == kComplete) {
    m_Fed += pos;
    if (used) *used = pos;
    return 0;
  }
  m_Fed += size;
  if (used) *used = size;
  return 1;
}

int HttpReaderState::Finish() {
  if (m_Phase == kDone) return 0;
  if (m_Phase == kFailed) return -1;
  if (m_Phase == kBodyClose) {
    m_Phase = kDone;
    return 0;
  }
  Fail(CWHTTP_ERROR_TRUNCATED, m_Fed);
  return -1;
}

HttpReaderState::Step HttpReaderState::Fail(int code, long offset) {
  m_Error = CWHttpError{code, offset, HttpErrorMessage(code)};
  m_Phase = kFailed;
  m_KeepAlive = false;
  return kFail;
}

HttpReaderState::Step HttpReaderState::Run(const char* data, long size, long& pos) {
  LineScanner scanner(data, size, size);
  for (;;) {
    switch (m_Phase) {
      case kBodyLength:
      case kChunkData: {
        const long take = std::min(m_Remaining, size - pos);
        if (AppendBody(data + pos, take, m_Fed + pos) == kFail) return kFail;
        pos += take;
        m_Remaining -= take;
        if (m_Remaining > 0) return kMore;
        if (m_Phase == kBodyLength) {
          m_Phase = kDone;
          return kComplete;
        }
        m_Phase = kChunkDataEnd;
        m_SectionStart = m_Fed + pos;
        break;
      }
      case kBodyClose:
        if (AppendBody(data + pos, size - pos, m_Fed + pos) == kFail) return kFail;
        pos = size;
        return kMore;
      case kDone:
        return kComplete;
      case kFailed:
        return kFail;
      case kTrailers:
        if (m_Tail.m_Text.Size() == 0 && m_Tail.m_LineStart == 0 && size - pos >= 2 &&
            data[pos] == '\r' && data[pos + 1] == '\n' && m_Limits.headerBytes >= 2) {
          // The usual end of a chunked body: no trailer fields, the empty
          // line alone, which is all that reading the section would find.
          pos += 2;
          m_Phase = kDone;
          return kComplete;
        }
        [[fallthrough]];
      case kStart:
      case kHeaders: {
        const Step step = SectionLines(m_Phase == kTrailers ? m_Tail : m_Head, data, size, pos);
        if (step != kGo) return step;
        break;
      }
      default: {
        // Chunk data must be followed by its line end at once: anything else
        // is refused where it starts, not after a line's worth of it.
        if (m_Phase == kChunkDataEnd && m_Carry.Size() == 0 && pos < size && data[pos] != '\r' &&
            data[pos] != '\n')
          return Fail(CWHTTP_ERROR_CHUNK_END, m_Fed + pos);
        if (m_Carry.Size() == 0) {
          const Step step = ShortLine(data, size, pos);
          if (step == kGo) break;
          if (step != kMore) return step;
        }
        Line line;
        const Step got = NextLine(scanner, data, size, pos, line);
        if (got != kGo) return got;
        const Step step = ChunkLine(line, m_Fed + pos);
        m_Carry.Clear();
        m_CarryEndsWithCR = false;
        if (step != kGo) return step;
      }
    }
  }
}

HttpReaderState::Step HttpReaderState::Keep(const char* data, long size, long offset) {
  if (m_Carry.Size() == 0) m_CarryStart = offset;
  if (!m_Carry.Append(data, size)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, offset);
  return kMore;
}

HttpReaderState::Step HttpReaderState::NextLine(LineScanner& scanner, const char* data, long size,
                                                long& pos, Line& line) {
  // The first offset beyond the current section's limit.
  const long budget = m_Limits.headerBytes;
  const long limitEnd = budget > LONG_MAX - m_SectionStart ? LONG_MAX : m_SectionStart + budget;
  const long base = m_Fed;  // stream offset of data[0]

  if (m_CarryEndsWithCR) {
    // The last Feed ended between a CR and what follows it.
    if (pos == size) return kMore;
    const long cr = m_CarryStart + m_Carry.Size() - 1;
    if (data[pos] != '\n') return Fail(CWHTTP_ERROR_LINE_END, cr);
    if (cr + 1 >= limitEnd) return FailLimit(limitEnd);
    line = Line{m_Carry.Data(), m_Carry.Size() - 1, m_CarryStart};
    pos += 1;
    return kGo;
  }

  const long stop = scanner.NextStop(pos);
  if (stop == size) {
    if (size > pos && base + size - 1 >= limitEnd) return FailLimit(limitEnd);
    const Step kept = Keep(data + pos, size - pos, base + pos);
    pos = size;
    return kept;
  }
  if (base + stop >= limitEnd) return FailLimit(limitEnd);
  long next = stop + 1;
  if (data[stop] != '\n') {
    if (data[stop] == '\0') return Fail(CWHTTP_ERROR_NUL, base + stop);
    if (stop + 1 == size) {
      const Step kept = Keep(data + pos, size - pos, base + pos);
      m_CarryEndsWithCR = kept == kMore;
      pos = size;
      return kept;
    }
    if (data[stop + 1] != '\n') return Fail(CWHTTP_ERROR_LINE_END, base + stop);
    if (base + stop + 1 >= limitEnd) return FailLimit(limitEnd);
    next = stop + 2;
  }
  if (m_Carry.Size() == 0) {
    line = Line{data + pos, stop - pos, base + pos};
  } else {
    if (!m_Carry.Append(data + pos, stop - pos))
      return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, base + pos);
    line = Line{m_Carry.Data(), m_Carry.Size(), m_CarryStart};
  }
  pos = next;
  return kGo;
}

HttpReaderState::Step HttpReaderState::ShortLine(const char* data, long size, long& pos) {
  // Up to 15 hexadecimal digits (a size that cannot overflow; none for the
  // end of chunk data) and CR LF, all in this data and within the limit:
  // read as ChunkLine reads what NextLine finds for such a line.
  const long look = std::min(size, pos + 15);
  long stop = pos;
  long value = 0;
  for (int digit; stop < look && (digit = HexValue(data[stop])) >= 0; ++stop)
    value = value * 16 + digit;
  if (stop + 1 >= size || data[stop] != '\r' || data[stop + 1] != '\n') return kMore;
  if (m_Phase != kChunkSize && stop != pos) return kMore;
  const long budget = m_Limits.headerBytes;
  const long limitEnd = budget > LONG_MAX - m_SectionStart ? LONG_MAX : m_SectionStart + budget;
  if (m_Fed + stop + 1 >= limitEnd) return kMore;
  const long start = m_Fed + pos;
  pos = stop + 2;
  const long end = m_Fed + pos;
  if (m_Phase == kChunkSize) {
    if (stop == start - m_Fed) return Fail(CWHTTP_ERROR_CHUNK_SIZE, start);
    return StartChunk(value, start, end);
  }
  // The empty line after chunk data.
  m_Phase = kChunkSize;
  m_SectionStart = end;
  return kGo;
}

HttpReaderState::Step HttpReaderState::FailLimit(long offset) {
  return Fail(m_Phase == kChunkSize || m_Phase == kChunkDataEnd ? CWHTTP_ERROR_CHUNK_SIZE
                                                                : CWHTTP_ERROR_HEADER_TOO_LARGE,
              offset);
}

HttpReaderState::Step HttpReaderState::ChunkLine(const Line& line, long end) {
  if (m_Phase == kChunkSize) return ChunkSizeLine(line.m_Text, line.m_Length, line.m_Start, end);
  // The line end after chunk data.
  if (line.m_Length != 0) return Fail(CWHTTP_ERROR_CHUNK_END, line.m_Start);
  m_Phase = kChunkSize;
  m_SectionStart = end;
  return kGo;
}

HttpReaderState::Step HttpReaderState::AppendBody(const char* data, long size, long offset) {
  if (size <= 0) return kGo;
  // Over the limit, the body keeps the bytes up to it, so what a failed
  // reader holds does not depend on how the input was split.
  const long limit = m_Limits.bodyBytes;
  const bool over = limit > 0 && size > limit - m_Body.Size();
  const long take = over ? limit - m_Body.Size() : size;
  // One byte more for the zero that follows the body.
  if (take == LONG_MAX || !m_Body.Reserve(take + 1))
    return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, offset);
  m_Body.Append(data, take);
  m_Body.Data()[m_Body.Size()] = '\0';
  if (over) return Fail(CWHTTP_ERROR_BODY_TOO_LARGE, offset + take);
  return kGo;
}

}  // namespace cwbase_internal
