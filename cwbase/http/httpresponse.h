/// @file
/// CWHttpResponceBase: splits an HTTP/1.x response held in memory into its
/// status code, reason text, header fields and the start of its body.
///
/// Contract
/// - Parse copies the given block into the object's own copy (one copy per
///   call) and cuts that copy in place: line ends, the first colon of each
///   header line and the spaces of the status line become zero bytes. The
///   reason, every SWHttpHeader name/value and the body point into the copy and
///   stay valid until the next Parse that gets past its input checks, or the
///   object's destruction. Nothing else is copied; the given block is unchanged.
/// - Lines end with CR LF. A CR not followed by LF gives an empty, unterminated
///   line and the byte after it is passed over; LF alone is ordinary text, so a
///   response with LF-only line ends has no status line and no headers.
/// - Status line "PROTO CODE REASON": the code needs at least two bytes after
///   its space (a one-byte reason yields no code); a line that begins with a
///   space has no protocol token and one byte after the code's space suffices.
///   The code is read as strtol reads base 10 (0 when there are no digits) and
///   narrowed to int as an assignment would.
/// - Header line "Name: value": the name is everything before the first colon,
///   untrimmed; the value starts two bytes after the colon (the byte right after
///   it is skipped whatever it is). Unterminated lines, lines without a colon or
///   beginning with one, and every line when the copy's first byte is zero are
///   not recorded. The body starts after the first empty line (CR LF) and is not
///   zero-terminated; it is absent (null, length 0) when nothing follows it.
/// - Parse results: 0 a status code was read; -1 the given block has no storage
///   or a length of 0, and nothing at all changes; -2 no status code was read
///   (including a copy longer than INT_MAX bytes); headers and a body may still
///   have been found. Allocation failure while copying throws std::bad_alloc
///   before anything changes.
/// - GetHeaderValue: the value of the first record whose name equals the given
///   text byte for byte (strcmp); null for a null name or no match.
/// - Initial state: code 400, reason "Not Found", no headers, no body.
///
/// Choices
/// - Every Parse that gets past its input checks first resets the code, reason,
///   body and header list to the initial state, so a reused object yields
///   exactly what a fresh one would, and no pointer it hands out refers to the
///   storage of an earlier copy. (A -1 call leaves the previous result intact.)
/// - The end of the header section is recognised right after the status line as
///   well as after each header line: `"HTTP/1.1 204 No Content\r\n\r\nbody"` has
///   no headers and its body starts at "body".
/// - If the header list cannot grow (allocation failure), no further records
///   are stored for that Parse, so the list is always the leading run of the
///   response's header lines and GetHeaderValue never answers with a later
///   duplicate; the rest of the header section is still scanned for the body.
/// - Copying an object is not offered: its pointers refer to its own copy.
///
/// Threads: no lock; one thread at a time per object.
#pragma once

#include "cwbase/core/block.h"

/// One header field; both strings point into the parser's copy and are owned
/// by the parser.
struct SWHttpHeader {
  char* name;   ///< The text before the line's first colon, as received (untrimmed, any case).
  char* value;  ///< The text from two bytes after the colon to the end of the line.
};

/// Splits a received HTTP/1.x response into status code, reason, header
/// fields and body, working on a copy of its own. Not copyable; one thread at
/// a time per object.
class CWHttpResponceBase {
 public:
  /// The initial state: code 400, reason "Not Found", no headers, no body.
  CWHttpResponceBase();
  /// Not copyable: the object's pointers refer to its own copy.
  CWHttpResponceBase(const CWHttpResponceBase&) = delete;
  /// Not assignable.
  CWHttpResponceBase& operator=(const CWHttpResponceBase&) = delete;
  /// Releases the header list and the copy; every pointer handed out becomes
  /// invalid.
  virtual ~CWHttpResponceBase();

  /// Copies @p response (left unchanged) and parses the copy in place.
  /// @return 0 a status code was read; -1 the block has no storage or a
  /// length of 0 (nothing changes); -2 no status code was read (headers and
  /// a body may still have been found). Throws std::bad_alloc when the copy
  /// cannot be made, before anything changes.
  int Parse(CWBlock& response);
  /// The status code: 400 until a code is read; 0 when the code text has no
  /// digits.
  int GetHttpResult() { return m_nResult; }
  /// The value of the first header whose name equals @p name byte for byte
  /// (case-sensitive, strcmp); null for a null name, no match, or before any
  /// Parse. Valid until the next Parse or destruction.
  char* GetHeaderValue(char const* name);

  /// The status line's reason text ("Not Found" until a code is read).
  const char* GetReason() { return m_pReason; }
  /// The first body byte inside the copy, or null; not zero-terminated (use
  /// GetBodyLength).
  char* GetBody() { return m_pBody; }
  /// Number of body bytes: the copy's length minus the body's offset; 0
  /// without a body.
  unsigned long GetBodyLength();
  /// Number of header records, in line order.
  int GetHeaderCount() { return m_Headers.GetCount(); }
  /// The record at @p index in line order, or null when out of range.
  SWHttpHeader* GetHeaderAt(int index);

 protected:
  CWBlock m_Copy;                      ///< The parser's own copy of the response, cut in place.
  CWDynArray<SWHttpHeader> m_Headers;  ///< Header records in line order.
  char* m_pBody;                       ///< First body byte inside m_Copy, or null.
  int m_nResult;                       ///< The status code (400 initially).
  const char* m_pReason;               ///< Reason text inside m_Copy, or the constant "Not Found".
};
