// HttpReaderState: the state machine behind CWHttpResponseReader. Private to
// the HTTP subsystem; the public header describes the behaviour.
//
// How it works
// - The stream is cut into field sections (the header section with its
//   status line, the trailers), chunk lines and runs of body bytes, and
//   every byte is examined once.
// - A field section that starts inside one Feed is read where it lies and
//   only its own bytes are copied into its text (m_Head, m_Tail) when its
//   empty line comes; one that a Feed leaves unfinished goes on in its text,
//   which the next Feeds extend. Names and values are kept as offsets and
//   the text is cut in place at the end (reader_fields.cpp).
// - A chunk line cut by the end of a Feed is kept in m_Carry and completed
//   by the next. The usual chunk lines (a few hexadecimal digits, or none
//   after chunk data, and CR LF) are read where they lie in one pass.
// - Every limit is checked against the offset of the first byte beyond it,
//   so an error's code and offset do not depend on how the input was split.
// Threads: none; one state per reader.
#pragma once

#include <vector>

#include "cwbase/http/httpreader.h"
#include "cwbase/http/internal/byte_buffer.h"
#include "cwbase/http/internal/line_scan.h"

namespace cwbase_internal {

class HttpReaderState {
 public:
  HttpReaderState() { Reset(false); }

  void Reset(bool headRequest);
  int Feed(const char* data, long size, long* used);
  int Finish();

  // A section of fields (the header section or the trailers). Its bytes are
  // kept as received, from stream offset m_Base on, and cut in place when
  // the section ends: a zero over each name's colon and after each value.
  // Folded values are joined after the section's bytes.
  struct Fields {
    ByteBuffer m_Text;
    long m_Base = 0;       // stream offset of m_Text[0]
    long m_LineStart = 0;  // where the current line starts in m_Text
    long m_ScanFrom = 0;   // where the search for its line end goes on
    struct Cut {
      long m_Name;   // where the name starts
      long m_Colon;  // where its colon is
      long m_Value;  // where the value starts
      long m_End;    // where it ends
    };
    std::vector<Cut> m_Cuts;    // one per field
    std::vector<long> m_Folds;  // per folded line: field index, text start, text end
    // Made by Publish: the first m_Count; storage beyond them is kept for
    // the next response.
    std::vector<SWHttpHeader> m_Records;
    int m_Count = 0;
    int Count() const { return m_Count; }
    long Pending() const { return static_cast<long>(m_Cuts.size()); }
    const SWHttpHeader* At(int index) const;
    const char* Value(const char* name) const;
    // Empties the section, which starts at stream offset `base`.
    void Clear(long base);
    // Joins the folded values, cuts the text and makes the records; false
    // when memory for the joined values is missing. m_Text must not grow
    // afterwards.
    bool Publish();
  };

  // Results, read by the public accessors.
  int m_Status = 0;
  int m_Minor = -1;
  bool m_HeadRead = false;  // the header section has been read: status, reason, fields valid
  long m_Reason = 0;        // where the reason starts in m_Head.m_Text
  long m_ReasonEnd = 0;     // and where it ends
  Fields m_Head;
  Fields m_Tail;
  ByteBuffer m_Body;
  int m_Framing = CWHTTP_FRAMING_UNKNOWN;
  long m_ContentLength = -1;
  bool m_KeepAlive = false;
  CWHttpError m_Error{};
  CWHttpLimits m_Limits;

  bool IsComplete() const { return m_Phase == kDone; }

 private:
  enum Phase {
    kStart,         // leading empty lines, then the status line
    kHeaders,       // header field lines up to the empty line
    kBodyLength,    // m_Remaining body bytes
    kBodyClose,     // body bytes until Finish
    kChunkSize,     // a chunk-size line
    kChunkData,     // m_Remaining bytes of chunk data
    kChunkDataEnd,  // the line end after chunk data
    kTrailers,      // trailer field lines up to the empty line
    kDone,
    kFailed
  };
  // What a step of the machine leaves: go on, stop for more input, the
  // response is complete, or it failed.
  enum Step { kGo, kMore, kComplete, kFail };

  // A field a framing decision reads: which, its field index and where its
  // line and value start in the stream.
  enum Special { kContentLength, kTransferEncoding, kConnection };
  struct SpecialField {
    Special m_Kind;
    int m_Index;
    long m_LineOffset;
    long m_ValueOffset;
  };

  // A chunk line without its line end: its text, length and stream offset.
  struct Line {
    const char* m_Text;
    long m_Length;
    long m_Start;
  };

  Step Run(const char* data, long size, long& pos);
  // Reads the lines of a field section (status line included) from data[pos]
  // on, up to its empty line or the end of the data.
  Step SectionLines(Fields& fields, const char* data, long size, long& pos);
  // Copies the next piece of data into the section; kMore when the data is
  // used up.
  Step MoreText(Fields& fields, const char* data, long size, long limitEnd);
  // Makes the section's text the `size` bytes at `bytes` (with filler after
  // them); `offset` is reported if memory is missing.
  Step SetText(Fields& fields, const char* bytes, long size, long offset);
  // The empty line at `end` (section offset) ended the section.
  Step EndSection(Fields& fields, long end);
  // A line of the section at bytes[start, end), `readable` bytes readable
  // at `bytes`, its first colon at `colon` (-1: none).
  Step SectionLine(Fields& fields, const char* bytes, long readable, long start, long end,
                   long colon);
  Step StatusLine(const char* line, long length, long start);
  Step FieldLine(Fields& fields, const char* bytes, long readable, long start, long end, long colon,
                 bool head);
  // Records the field at bytes[start, end) with its colon at `colon` when it
  // has the usual shape; false when FieldLine must read it.
  bool PlainField(Fields& fields, const char* bytes, long readable, long start, long end,
                  long colon);
  // Notes a header field that the framing decision reads, if the token
  // `name` is one.
  void NoteSpecial(const char* name, long length, int index, long lineOffset, long valueOffset);
  Step EndHead(long end);
  // Reads a chunk line; lines cut by the end of a Feed are kept in m_Carry.
  Step NextLine(LineScanner& scanner, const char* data, long size, long& pos, Line& line);
  // Reads a chunk line of a few hexadecimal digits (or none, after chunk
  // data) and CR LF that lies whole in the data, as NextLine and ChunkLine
  // would; kMore, with nothing read, for any other line.
  Step ShortLine(const char* data, long size, long& pos);
  Step Keep(const char* data, long size, long offset);
  Step ChunkLine(const Line& line, long end);
  Step ChunkSizeLine(const char* line, long length, long start, long end);
  // A chunk of `size` bytes whose line starts at `start` and ends at `end`.
  Step StartChunk(long size, long start, long end);
  Step AppendBody(const char* data, long size, long offset);
  Step Fail(int code, long offset);
  // The limit of the current line-based section was passed at `offset`.
  Step FailLimit(long offset);

  Phase m_Phase = kStart;
  bool m_HeadRequest = false;
  long m_Fed = 0;         // bytes taken into this response before the current Feed
  ByteBuffer m_Carry;     // a line cut by the end of a Feed
  long m_CarryStart = 0;  // its stream offset
  bool m_CarryEndsWithCR = false;
  long m_SectionStart = 0;  // stream offset where the current line-based section starts
  long m_Remaining = 0;     // bytes left of the body or the chunk
  std::vector<SpecialField> m_Specials;
};

// The static message of an error code.
const char* HttpErrorMessage(int code);

}  // namespace cwbase_internal
