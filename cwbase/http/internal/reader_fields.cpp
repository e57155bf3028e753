// HttpReaderState: field sections. The header section (status line and
// leading empty lines included) and the trailers are read line by line:
// line ends and colons come from 64-byte masks, names and values are
// recorded as offsets from the section's start, and the section's bytes are
// cut in place when its empty line comes. A section that starts in the
// current Feed is read where it lies and copied once, whole; one that a
// Feed leaves unfinished is kept in its text, which later Feeds extend a
// piece at a time. No byte is scanned twice.
//
// The usual lines (CR LF ends well inside the data and the limit, names of
// letters, digits and '-', room for another field) are read by a tight loop
// that records them directly; every other line, and the status line, goes
// through the general steps, which check everything. Both record the same
// cut for a line both can read, so which one reads it never shows.
#include <algorithm>
#include <climits>
#include <cstring>

#include "cwbase/http/internal/http_chars.h"
#include "cwbase/http/internal/reader_state.h"

namespace cwbase_internal {
namespace {

// Bytes of filler kept after a section's text for its scanner.
constexpr long kFiller = 64;

}  // namespace

bool HttpReaderState::Fields::Publish() {
  // Folded values: each joined, with one space between its parts, after the
  // section's bytes.
  if (!m_Folds.empty()) {
    long extra = 0;
    for (size_t f = 0; f < m_Folds.size(); f += 3) {
      const long field = m_Folds[f];
      extra += m_Cuts[field].m_End - m_Cuts[field].m_Value + (m_Folds[f + 2] - m_Folds[f + 1]) + 2;
    }
    if (!m_Text.Reserve(extra)) return false;
    for (size_t f = 0; f < m_Folds.size();) {
      const long field = m_Folds[f];
      Cut& cut = m_Cuts[field];
      const long joined = m_Text.Size();
      m_Text.Append(m_Text.Data() + cut.m_Value, cut.m_End - cut.m_Value);
      for (; f < m_Folds.size() && m_Folds[f] == field; f += 3) {
        if (m_Text.Size() > joined) m_Text.Push(' ');
        m_Text.Append(m_Text.Data() + m_Folds[f + 1], m_Folds[f + 2] - m_Folds[f + 1]);
      }
      cut.m_Value = joined;
      cut.m_End = m_Text.Size();
      m_Text.Push('\0');
    }
  }
  char* text = m_Text.Data();
  if (m_Records.size() < m_Cuts.size()) m_Records.resize(m_Cuts.size());
  m_Count = static_cast<int>(m_Cuts.size());
  SWHttpHeader* record = m_Records.data();
  for (const Cut& cut : m_Cuts) {
    text[cut.m_Colon] = '\0';
    text[cut.m_End] = '\0';
    *record++ = SWHttpHeader{text + cut.m_Name, text + cut.m_Value};
  }
  return true;
}

HttpReaderState::Step HttpReaderState::MoreText(Fields& fields, const char* data, long size,
                                                long limitEnd) {
  ByteBuffer& text = fields.m_Text;
  const long from = fields.m_Base + text.Size() - m_Fed;  // where the data not yet copied starts
  if (from >= size) return kMore;
  // Pieces grow with the text, so a large body fed with its head is copied
  // only in part, and no further than one byte past the section's limit.
  long piece = std::max(4096L, text.Size());
  piece = std::min(piece, size - from);
  piece = std::min(piece, std::max(1L, limitEnd + 1 - text.Size()));
  // A block of filler follows the text, so its scanner reads whole blocks.
  if (!text.Reserve(piece + kFiller)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, m_Fed + from);
  text.Append(data + from, piece);
  std::memset(text.Data() + text.Size(), 'a', kFiller);
  return kGo;
}

HttpReaderState::Step HttpReaderState::SetText(Fields& fields, const char* bytes, long size,
                                               long offset) {
  ByteBuffer& text = fields.m_Text;
  if (!text.Reserve(size + kFiller)) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, offset);
  text.Append(bytes, size);
  std::memset(text.Data() + text.Size(), 'a', kFiller);
  return kGo;
}

__attribute__((always_inline)) inline bool HttpReaderState::PlainField(Fields& fields,
                                                                       const char* bytes,
                                                                       long readable, long start,
                                                                       long end, long colon) {
  // The usual field: a name of letters, digits and '-' (hence no folding and
  // nothing to report); the caller knows there is room for one more. Anything else is left to
  // FieldLine, which records the same cut or reports the fault.
  const long name = colon - start;
  if (name <= 0 || !PlainName(bytes + start, name, readable - start)) return false;
  const long count = fields.Pending();
  // The usual value follows one space and ends with no white space.
  long begin = colon + 1;
  long stop = end;
  if (begin + 1 < stop && bytes[begin] == ' ' && !IsSpace(bytes[begin + 1]) &&
      !IsSpace(bytes[stop - 1]))
    ++begin;
  else
    Trim(bytes, begin, stop);
  fields.m_Cuts.push_back(Fields::Cut{start, colon, begin, stop});
  if (m_Phase == kHeaders && (name == 10 || name == 14 || name == 17))
    NoteSpecial(bytes + start, name, static_cast<int>(count), fields.m_Base + start,
                fields.m_Base + begin);
  return true;
}

HttpReaderState::Step HttpReaderState::SectionLines(Fields& fields, const char* data, long size,
                                                    long& pos) {
  // Offsets from the section's start; the stream offset is m_Base more. A
  // section that starts in this Feed is read where it lies and only its own
  // bytes are copied; one that goes on from an earlier Feed is read in its
  // text, which grows by pieces of the data.
  const long limitEnd = m_Limits.headerBytes;
  ByteBuffer& text = fields.m_Text;
  const bool direct = text.Size() == 0;
  const char* bytes = direct ? data + pos : text.Data();
  long avail = direct ? std::min(size - pos, limitEnd + 1) : text.Size();
  // In a Feed's own data the scan may look at all of it; in the text, at the
  // filler after it.
  long readable = direct ? size - pos : avail + kFiller;
  LineCursor cursor(bytes, avail, readable);
  for (;;) {
    if (m_Phase != kStart && fields.m_ScanFrom == fields.m_LineStart) {
      // The usual lines, read without the checks below: each ends with CR LF
      // before the end of the data and the limit, and is a plain field.
      // Whatever else comes is left to the general steps.
      const long last = std::min(avail, limitEnd) - 1;
      long room = m_Limits.headerCount - fields.Pending();  // fields still allowed
      long start = fields.m_LineStart;
      for (;;) {
        const long stop = cursor.NextStop(start);
        if (stop >= last || stop == start || bytes[stop] != '\r' || bytes[stop + 1] != '\n') break;
        if (room <= 0 ||
            !PlainField(fields, bytes, readable, start, stop, cursor.Colon(start, stop)))
          break;
        --room;
        start = stop + 2;
      }
      fields.m_LineStart = fields.m_ScanFrom = start;
    }
    bool more = fields.m_ScanFrom >= avail;
    long stop = avail;
    if (!more) {
      stop = cursor.NextStop(fields.m_ScanFrom);
      if (stop == avail) {
        if (avail > limitEnd) return FailLimit(fields.m_Base + limitEnd);
        fields.m_ScanFrom = avail;
        more = true;
      } else if (stop >= limitEnd) {
        return FailLimit(fields.m_Base + limitEnd);
      } else if (bytes[stop] == '\0') {
        return Fail(CWHTTP_ERROR_NUL, fields.m_Base + stop);
      } else if (bytes[stop] == '\r' && stop + 1 == avail) {
        fields.m_ScanFrom = stop;  // the byte after the CR decides
        more = true;
      }
    }
    if (more) {
      if (direct) {
        // The data is used up (a limit would have been passed first): keep
        // the section so far for the next Feed.
        const Step kept = SetText(fields, bytes, avail, fields.m_Base);
        if (kept != kGo) return kept;
        pos = size;
        return kMore;
      }
      const Step got = MoreText(fields, data, size, limitEnd);
      if (got == kMore) pos = size;
      if (got != kGo) return got;
      bytes = text.Data();
      avail = text.Size();
      readable = avail + kFiller;
      cursor = LineCursor(bytes, avail, readable);
      continue;
    }
    long next = stop + 1;
    if (bytes[stop] == '\r') {
      if (bytes[stop + 1] != '\n') return Fail(CWHTTP_ERROR_LINE_END, fields.m_Base + stop);
      if (stop + 1 >= limitEnd) return FailLimit(fields.m_Base + limitEnd);
      next = stop + 2;
    }
    const long start = fields.m_LineStart;
    fields.m_LineStart = fields.m_ScanFrom = next;
    if (start == stop && m_Phase != kStart) {
      // The empty line ends the section; its text keeps its bytes, no more.
      if (direct) {
        const Step kept = SetText(fields, bytes, next, fields.m_Base);
        if (kept != kGo) return kept;
      } else {
        text.Truncate(next);
      }
      pos = fields.m_Base + next - m_Fed;  // what follows is read from data
      return EndSection(fields, next);
    }
    const long colon = cursor.Colon(start, stop);
    const Step step = SectionLine(fields, bytes, readable, start, stop, colon);
    if (step != kGo) return step;
  }
}

HttpReaderState::Step HttpReaderState::EndSection(Fields& fields, long end) {
  if (m_Phase == kHeaders) return EndHead(fields.m_Base + end);
  if (!fields.Publish()) return Fail(CWHTTP_ERROR_OUT_OF_MEMORY, fields.m_Base + end);
  m_Phase = kDone;
  return kComplete;
}

HttpReaderState::Step HttpReaderState::SectionLine(Fields& fields, const char* bytes, long readable,
                                                   long start, long end, long colon) {
  if (m_Phase == kStart) {
    if (end == start) return kGo;  // empty lines before the status line
    const Step step = StatusLine(bytes + start, end - start, fields.m_Base + start);
    m_Reason += start;
    m_ReasonEnd = end;
    return step;
  }
  return FieldLine(fields, bytes, readable, start, end, colon, m_Phase == kHeaders);
}

HttpReaderState::Step HttpReaderState::StatusLine(const char* line, long length, long start) {
  // "HTTP/1.x NNN", then the end or one space and the reason.
  static const char kPattern[] = "HTTP/1.D DDD";
  const long patternLength = sizeof kPattern - 1;
  // The usual line is checked at once; any other walks the pattern to find
  // where it fails.
  const bool usual = length >= patternLength && std::memcmp(line, "HTTP/1.", 7) == 0 &&
                     IsDigit(line[7]) && line[8] == ' ' && IsDigit(line[9]) && IsDigit(line[10]) &&
                     IsDigit(line[11]);
  for (long i = usual ? patternLength : 0; i < patternLength; ++i) {
    if (i == length) return Fail(CWHTTP_ERROR_STATUS_LINE, start + i);
    const bool ok = kPattern[i] == 'D' ? IsDigit(line[i]) : line[i] == kPattern[i];
    if (!ok) return Fail(CWHTTP_ERROR_STATUS_LINE, start + i);
  }
  if (line[9] == '0') return Fail(CWHTTP_ERROR_STATUS_LINE, start + 9);  // below 100
  if (length > patternLength && line[patternLength] != ' ')
    return Fail(CWHTTP_ERROR_STATUS_LINE, start + patternLength);
  m_Minor = line[7] - '0';
  m_Status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  m_Reason = std::min(length, patternLength + 1);  // within the line
  m_Phase = kHeaders;
  return kGo;
}

HttpReaderState::Step HttpReaderState::FieldLine(Fields& fields, const char* bytes, long readable,
                                                 long start, long end, long colon, bool head) {
  const char* line = bytes + start;
  const long length = end - start;
  const long offset = fields.m_Base + start;  // stream offset of the line
  if (IsSpace(line[0])) {
    // Obsolete folding: the line continues the value before it.
    if (fields.m_Cuts.empty()) return Fail(CWHTTP_ERROR_HEADER_NAME, offset);
    long begin = 0;
    long stop = length;
    Trim(line, begin, stop);
    if (begin < stop) {
      fields.m_Folds.push_back(fields.Pending() - 1);
      fields.m_Folds.push_back(start + begin);
      fields.m_Folds.push_back(start + stop);
    }
    return kGo;
  }

  // The name runs to the first colon, and every byte of it must be a token
  // character: sixteen at a time for the usual names, otherwise without a
  // branch per byte. A fault is reported at the first byte that is not a
  // token character.
  const long name = colon >= 0 ? colon - start : length;
  bool token = name > 0 && colon >= 0;
  if (token && !PlainName(line, name, readable - start))
    for (long i = 0; i < name; ++i) token &= IsToken(line[i]);
  if (!token) {
    long bad = 0;
    while (bad < length && IsToken(line[bad])) ++bad;
    return Fail(CWHTTP_ERROR_HEADER_NAME, offset + bad);
  }
  const long count = fields.Pending();
  if (count >= m_Limits.headerCount) return Fail(CWHTTP_ERROR_TOO_MANY_HEADERS, offset);
  long begin = name + 1;
  long stop = length;
  Trim(line, begin, stop);
  fields.m_Cuts.push_back(Fields::Cut{start, start + name, start + begin, start + stop});

  if (head && (name == 10 || name == 14 || name == 17))
    NoteSpecial(line, name, static_cast<int>(count), offset, offset + begin);
  return kGo;
}

void HttpReaderState::NoteSpecial(const char* name, long length, int index, long lineOffset,
                                  long valueOffset) {
  Special kind;
  if (length == 14 && TokenIs(name, 14, "content-length"))
    kind = kContentLength;
  else if (length == 17 && TokenIs(name, 17, "transfer-encoding"))
    kind = kTransferEncoding;
  else if (length == 10 && TokenIs(name, 10, "connection"))
    kind = kConnection;
  else
    return;
  m_Specials.push_back(SpecialField{kind, index, lineOffset, valueOffset});
}

}  // namespace cwbase_internal
