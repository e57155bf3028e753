/// @file
/// CWHttpResponseReader: reads HTTP/1.x responses from a byte stream as the
/// bytes arrive, frames each one by its headers and hands out the status,
/// the header fields, the de-chunked body and the trailers.
///
/// Contract
/// - Feed takes any run of bytes of the stream, as few as one at a time. The
///   reader copies what it keeps (status reason, header fields, body,
///   trailers, and a line cut between two calls), so the caller's bytes may
///   be released or reused as soon as Feed returns. Any split of the input
///   gives the same results, the same error code and the same error offset
///   as feeding it whole; every byte is examined once.
/// - Feed results: 1 more input is needed and every byte given was taken;
///   0 one whole response has been read and *used tells how many bytes of
///   this call belong to it (the rest belongs to the next response, to feed
///   after Reset); -1 the response is malformed or a limit was reached
///   (GetLastError), *used is 0. Once a response is complete or failed,
///   further calls return the same result and take nothing until Reset.
///   `used` may be null. A negative size, or null data with a size above 0,
///   fails with CWHTTP_ERROR_ARGUMENT.
/// - Finish tells the reader that the connection closed: 0 when that ends
///   the response (a body delimited by the close, or a response already
///   complete), -1 otherwise (CWHTTP_ERROR_TRUNCATED, or the earlier error).
/// - Reset starts the next response; its argument tells whether that
///   response answers a HEAD request. Limits set with SetLimits stay.
/// - Pointers: the reason, every SWHttpHeader of the header fields and of
///   the trailers, and the strings they point to are owned by the reader and
///   stay valid until the next Reset or the reader's destruction. The status,
///   reason and header fields are available once the header section has been
///   read (GetStatus() is 0 before). GetBody points into a buffer that grows
///   while the body arrives: it is valid until the next Feed, Finish or Reset.
///   The body is followed by a zero byte that GetBodyLength does not count.
/// - Threads: no lock; one thread at a time per reader; separate readers are
///   independent.
///
/// Reading rules (HTTP/1.1 message syntax, read as a robust client reads)
/// - Empty lines before the status line are skipped. Lines end with LF,
///   optionally preceded by CR; a CR anywhere else and a NUL byte in the
///   status line, a header or trailer field or a chunk line are errors.
/// - Status line: `HTTP/1.` and one digit, one space, exactly three digits
///   of which the first is not 0, then the end of the line or one space and
///   a reason of any length (kept as sent, "" when missing).
/// - Header fields: the name is a token (letters, digits and
///   ``!#$%&'*+-.^_`|~``) followed directly by a colon; white space around
///   the value is removed. A line that starts with a space or tab continues
///   the field before it (obsolete folding): it is joined to that value with
///   one space. A folded line with no field before it is an error.
/// - Framing, in this order: responses with a 1xx, 204 or 304 status and
///   responses to HEAD have no body; a Transfer-Encoding whose last coding is
///   `chunked` gives a chunked body (chunk extensions are skipped, trailer
///   fields kept); otherwise Content-Length gives the body's length;
///   otherwise (no framing field, or a Transfer-Encoding not ending in
///   `chunked`) the body runs until Finish.
/// - Content-Length is a list of decimal numbers over one or more fields;
///   equal numbers count as one, differing ones or anything but digits
///   are an error, even where the status has no body.
/// - Transfer-Encoding together with Content-Length is refused
///   (CWHTTP_ERROR_SMUGGLING) whatever the status: a response framed both
///   ways is how one response is hidden inside another, and no correct
///   server sends one.
/// - Keep-alive: HTTP/1.1 keeps the connection unless a Connection field
///   holds `close`; HTTP/1.0 only when it holds `keep-alive` and not
///   `close`, and never with Transfer-Encoding. A body that runs until the
///   close and a 101 response never keep it; other 1xx responses are
///   followed by the final response on the same connection.
/// - A 1xx response is one whole response: read it, call Reset and feed the
///   rest. After 101 the bytes that follow are not HTTP.
/// - Limits (SetLimits, defaults in CWHttpLimits): bytes of the header
///   section (status line and leading empty lines included), of the trailer
///   section and of each chunk line; number of header fields and of trailer
///   fields; chunk sizes and the total body above LONG_MAX; an optional
///   body limit. Each is refused with its error code and the offset of the
///   first byte beyond it; a body limit passed by a Content-Length or a
///   chunk size is reported at that field's or chunk line's start, a chunk
///   size overflow at the digit that overflows (or the chunk line, for the
///   sum). A body over its limit keeps the bytes up to it.
#pragma once

#include "cwbase/http/httpresponse.h"

/// What the last Feed or Finish found wrong.
struct CWHttpError {
  int code;             ///< 0: none; otherwise a CWHTTP_ERROR_ code.
  long offset;          ///< Offset of the fault in the bytes fed to this response.
  const char* message;  ///< Static English text for `code` (never null).
};

/// No error.
constexpr int CWHTTP_ERROR_NONE = 0;
/// A negative size, or null data with a size above 0.
constexpr int CWHTTP_ERROR_ARGUMENT = 1;
/// The status line is not `HTTP/1.x NNN[ reason]` with a code from 100 to 999.
constexpr int CWHTTP_ERROR_STATUS_LINE = 2;
/// A CR not followed by LF.
constexpr int CWHTTP_ERROR_LINE_END = 3;
/// A NUL byte in the status line, a field or a chunk line.
constexpr int CWHTTP_ERROR_NUL = 4;
/// A field name that is not a token directly followed by a colon (white
/// space before the colon, no colon), or a folded line with no field before it.
constexpr int CWHTTP_ERROR_HEADER_NAME = 5;
/// A Content-Length that is not a list of decimal numbers, holds differing
/// numbers, or does not fit a long.
constexpr int CWHTTP_ERROR_CONTENT_LENGTH = 6;
/// Transfer-Encoding and Content-Length in one response.
constexpr int CWHTTP_ERROR_SMUGGLING = 7;
/// A chunk line that is not hexadecimal digits with optional extensions,
/// or longer than the header section limit.
constexpr int CWHTTP_ERROR_CHUNK_SIZE = 8;
/// A chunk size, or the sum of the chunk sizes, above LONG_MAX.
constexpr int CWHTTP_ERROR_CHUNK_SIZE_OVERFLOW = 9;
/// Chunk data not followed by a line end.
constexpr int CWHTTP_ERROR_CHUNK_END = 10;
/// The header section or the trailer section is larger than the limit.
constexpr int CWHTTP_ERROR_HEADER_TOO_LARGE = 11;
/// More header fields, or trailer fields, than the limit.
constexpr int CWHTTP_ERROR_TOO_MANY_HEADERS = 12;
/// The body is larger than the body limit.
constexpr int CWHTTP_ERROR_BODY_TOO_LARGE = 13;
/// The connection closed before the response was complete.
constexpr int CWHTTP_ERROR_TRUNCATED = 14;
/// Memory for the fields or the body could not be allocated.
constexpr int CWHTTP_ERROR_OUT_OF_MEMORY = 15;

/// How the body of the current response is delimited (GetFraming).
enum {
  CWHTTP_FRAMING_UNKNOWN = 0,  ///< The header section has not been read yet.
  CWHTTP_FRAMING_NONE = 1,     ///< No body: 1xx, 204, 304, HEAD, or Content-Length 0.
  CWHTTP_FRAMING_LENGTH = 2,   ///< Content-Length bytes.
  CWHTTP_FRAMING_CHUNKED = 3,  ///< Chunked transfer coding.
  CWHTTP_FRAMING_CLOSE = 4     ///< Until the connection closes (Finish).
};

/// The limits a reader enforces. The defaults are far above what servers send:
/// common servers and proxies cap a header section at 8 to 64 KiB and a
/// field count at about 100.
struct CWHttpLimits {
  /// Bytes of the header section, of the trailer section and of each chunk line.
  long headerBytes = 1L << 20;
  /// Header fields of one response; trailer fields separately.
  int headerCount = 1000;
  /// Bytes of the de-chunked body; 0: no limit.
  long bodyBytes = 0;
};

/// An incremental HTTP/1.x response reader; see the file comment. Not copyable.
class CWHttpResponseReader {
 public:
  /// A reader ready for a response to a request other than HEAD, with the
  /// default limits. Throws std::bad_alloc when its state cannot be allocated.
  CWHttpResponseReader();
  /// Not copyable: the pointers it hands out refer to its own storage.
  CWHttpResponseReader(const CWHttpResponseReader&) = delete;
  /// Not assignable.
  CWHttpResponseReader& operator=(const CWHttpResponseReader&) = delete;
  /// Releases everything; every pointer handed out becomes invalid.
  virtual ~CWHttpResponseReader();

  /// Starts the next response; true when it answers a HEAD request. Keeps
  /// the limits and the storage already allocated.
  void Reset(bool headRequest = false);
  /// Reads the next @p size bytes; 1 more needed, 0 complete (*used bytes of
  /// this call taken), -1 malformed (GetLastError). See the file comment.
  int Feed(const char* data, long size, long* used);
  /// The connection closed: 0 when that completes the response, -1 when it
  /// was cut short.
  int Finish();

  /// The status code; 0 until the header section has been read.
  int GetStatus() const;
  /// The minor version of `HTTP/1.x`; -1 until the header section has been read.
  int GetMinorVersion() const;
  /// The reason text; "" when the status line has none or it is not read yet.
  const char* GetReason() const;
  /// Number of header fields, in the order received (folded lines joined).
  int GetHeaderCount() const;
  /// The field at @p index, or null when out of range.
  const SWHttpHeader* GetHeaderAt(int index) const;
  /// The value of the first field named @p name, compared case-insensitively
  /// (ASCII); null when absent or when @p name is null.
  const char* GetHeaderValue(const char* name) const;
  /// Number of trailer fields of a chunked body.
  int GetTrailerCount() const;
  /// The trailer field at @p index, or null when out of range.
  const SWHttpHeader* GetTrailerAt(int index) const;
  /// The value of the first trailer field named @p name (case-insensitive); null when absent.
  const char* GetTrailerValue(const char* name) const;
  /// The de-chunked body read so far, zero-terminated; "" when there is none.
  const char* GetBody() const;
  /// Number of body bytes read so far.
  long GetBodyLength() const;
  /// How the body is delimited: a CWHTTP_FRAMING_ value.
  int GetFraming() const;
  /// The Content-Length value, or -1 when the response has none.
  long GetContentLength() const;
  /// Whether the connection may carry another response after this one.
  bool IsKeepAlive() const;
  /// Whether a whole response has been read.
  bool IsComplete() const;
  /// The fault of the last failed Feed or Finish; code 0 otherwise.
  const CWHttpError& GetLastError() const;

  /// Sets the limits; they apply from the next check on and stay across Reset.
  /// A headerBytes or headerCount below 1 or a bodyBytes below 0 is taken as
  /// the default.
  void SetLimits(const CWHttpLimits& limits);
  /// The limits in force.
  const CWHttpLimits& GetLimits() const;

 private:
  class State;  // the reader's state machine, private to the library
  State* m_pState;
};
