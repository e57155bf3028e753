/// @file
/// Conversion of a wide path to the multibyte path handed to the C library.
/// Every operation that takes a wide path (the whole-file helpers, CreateFile,
/// CreateDirectoryEx) converts through here.
///
/// Contract
/// - Conversion is wcstombs in the process's current locale; the library never
///   sets the locale. A path is converted in full or refused, never cut: it is
///   refused when its multibyte form needs more bytes than the room allowed, or
///   when it holds a character that the locale cannot represent.
/// - ConvertWidePath writes into the caller's buffer of limit + 1 bytes: the
///   buffer is zero-filled and receives the multibyte path, whose terminator
///   comes from the fill. Result 1 done, 0 refused (null path or buffer, path
///   too long, or not convertible); a refused conversion leaves the buffer as
///   it was.
/// - CWMultiBytePath owns a temporary buffer (array new) of one byte per code
///   unit plus one, so an ASCII path always fits and a path that needs more
///   bytes than it has code units (non-ASCII characters in a UTF-8 locale) is
///   refused. Get() is null for a null path, a refused path or a failed
///   allocation; the buffer is released with the object. Its second form,
///   given CW_PATH_WHOLE, sizes the buffer to the path's whole multibyte
///   form instead, so that such paths convert too (used by the operations
///   that are not bound to the one-byte rule, the XML files and
///   ReplaceFileContent).
/// Threads: re-entrant; reads the process locale.
#pragma once

#include <cstddef>

/// Converts @p path into @p out, a buffer of @p limit + 1 bytes that is first
/// zero-filled; the terminator comes from the fill.
/// @return 1 done; 0 refused (null path or buffer, more than @p limit bytes
/// needed, or a character the locale cannot represent), @p out unchanged.
int ConvertWidePath(const wchar_t* path, char* out, size_t limit);

/// A wide path converted to the locale's multibyte form in a temporary buffer
/// of one byte per code unit plus one, released with the object.
/// CWMultiBytePath's room: the path's whole multibyte form.
constexpr size_t CW_PATH_WHOLE = static_cast<size_t>(-1);

class CWMultiBytePath {
 public:
  /// Converts @p path; Get() is null when it is null, refused or the buffer
  /// cannot be allocated.
  explicit CWMultiBytePath(const wchar_t* path);
  /// Converts @p path with room for @p limit bytes, or for its whole
  /// multibyte form with CW_PATH_WHOLE; Get() is null when it is null,
  /// refused (a character the locale cannot represent, or more than
  /// @p limit bytes) or the buffer cannot be allocated.
  CWMultiBytePath(const wchar_t* path, size_t limit);
  /// Releases the buffer.
  virtual ~CWMultiBytePath();
  /// Not copyable.
  CWMultiBytePath(const CWMultiBytePath&) = delete;
  /// Not assignable.
  CWMultiBytePath& operator=(const CWMultiBytePath&) = delete;

  /// The converted path, or null when the path was null or refused.
  const char* Get() const { return m_pPath; }

 private:
  char* m_pPath;
};
