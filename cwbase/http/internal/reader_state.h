// HttpReaderState: the state machine behind CWHttpResponseReader. Private to
// the HTTP subsystem; the public header describes the behaviour.
//
// How it works
// - The stream is cut into lines (status line, header fields, chunk lines,
//   trailer fields) and runs of body bytes. A line that is whole inside one
//   Feed is read where it lies; a line cut by the end of a Feed is kept in
//   m_Carry and completed by the next, so no byte is scanned twice.
// - Header fields are copied into m_Head as "name\0value\0" (the reason
//   first) and their offsets kept in m_Offsets; when the header section ends
//   the SWHttpHeader records are made from them, since m_Head no longer
//   moves. Trailers go the same way through m_Tail.
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

  // A set of fields read into a buffer: the header section or the trailers.
  struct Fields {
    ByteBuffer m_Text;                    // reason (header section only), then name\0value\0...
    std::vector<long> m_Offsets;          // name and value offsets in m_Text, in pairs
    std::vector<SWHttpHeader> m_Records;  // made from m_Offsets when the section ends
    int Count() const { return static_cast<int>(m_Records.size()); }
    const SWHttpHeader* At(int index) const;
    const char* Value(const char* name) const;
    void Clear();
    // Makes the records from the offsets; m_Text must not grow afterwards.
    void Publish();
  };

  // Results, read by the public accessors.
  int m_Status = 0;
  int m_Minor = -1;
  bool m_HeadRead = false;  // the header section has been read: status, reason, fields valid
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

  // A line without its line end: its text, length, stream offset, and the
  // offset of its first colon (-1: none).
  struct Line {
    const char* m_Text;
    long m_Length;
    long m_Start;
    long m_Colon;
  };

  Step Run(const char* data, long size, long& pos);
  Step NextLine(LineScanner& scanner, const char* data, long size, long& pos, Line& line);
  Step Keep(const char* data, long size, long offset);
  Step OnLine(const Line& line, long end);
  Step StatusLine(const char* line, long length, long start);
  Step FieldLine(Fields& fields, const Line& line, bool head);
  Step EndHead(long end);
  Step ChunkSizeLine(const char* line, long length, long start, long end);
  Step AppendBody(const char* data, long size, long offset);
  Step Fail(int code, long offset);
  // The limit of the current line-based section was passed at `offset`.
  Step FailLimit(long offset);
  // The offset of the first colon among the first `length` bytes of the
  // carried line, or -1.
  long CarryColon(long length) const;
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
