// Turning the bytes of an XML document into wide text for the standard
// reader: which encoding the bytes are in (byte-order mark, first bytes,
// declared encoding), and decoding them into a wide buffer, checking that
// every character is one XML allows.
//
// Contract
// - XmlDetectEncoding finds the encoding family from the byte-order mark or
//   the first bytes, reads the XML declaration in it (declaration.h) and
//   takes the declared encoding. A malformed declaration, or a declared
//   encoding that contradicts the mark or the family (UTF-16 declared in
//   8-bit text, anything but UTF-8 after a UTF-8 mark, ...), is recorded in
//   m_Code and its position (CWXML_ERROR_SYNTAX, CWXML_ERROR_ENCODING); a name
//   it does not know is left to iconv (kIconv), whose failure XmlDecode
//   reports.
// - XmlDecode writes at most XmlDecodeRoom(source) units, the last a zero
//   unit after the text, and returns true with the unit count (the zero not
//   counted); or false with the fault: its code (CWXML_ERROR_ENCODING or
//   CWXML_ERROR_UNSUPPORTED_ENCODING) and the byte offset of the offending
//   sequence. A zero byte is a fault like any other character XML forbids,
//   so the text holds no zero unit. Line ends are normalised as XML asks
//   before parsing: CR LF and a CR alone each become one LF unit.
// - For UTF-8 and the one-byte encodings it also gives the narrow view of
//   the text (XmlNarrowText): the input's own bytes, one per unit, as long
//   as they match the units (no CR, in UTF-8 no character of more than one
//   byte). Null past the first place where they stop matching, and for the
//   other encodings: the parser then reads the wide units.
// - XmlByteOffset maps a unit offset of the decoded text back to bytes from
//   the start of the data (the mark included); offsets past the end give
//   the length.
// - XmlPosition gives the line and column (from 1; CR LF, CR or LF end a
//   line) of the character at byte offset `byte`, counted in the input's
//   characters; 0 and 0 when an iconv encoding cannot be opened.
// Threads: re-entrant; reads nothing but its arguments.
#pragma once

#include <cstddef>

namespace cwbase_internal {

enum class XmlEncoding {
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kUtf32Le,
  kUtf32Be,
  kLatin1,
  kAscii,
  kWindows1252,
  kIconv
};

struct XmlSource {
  const unsigned char* m_pData = nullptr;  // the whole input
  size_t m_Length = 0;
  size_t m_Start = 0;  // bytes of the byte-order mark
  XmlEncoding m_Encoding = XmlEncoding::kUtf8;
  char m_Charset[48] = {};        // the declared name, for kIconv
  size_t m_DeclarationUnits = 0;  // characters of the XML declaration, 0 when none
  int m_Standalone = -1;          // standalone: 1 yes, 0 no, -1 not declared
  int m_Code = 0;                 // a fault found in the declaration, or 0
  size_t m_FaultByte = 0;         // where: bytes from the start of the data
  int m_FaultLine = 0, m_FaultColumn = 0;
};

struct XmlDecodeFault {
  int m_Code = 0;
  size_t m_Byte = 0;
};

struct XmlNarrowText {
  const unsigned char* m_pBytes = nullptr;  // the view, or null
};

// UTF-8 decoded by XmlDecode's rules in steps, so that the parser can read
// text decoded just before it (while it is still in the cache). Each Step
// decodes the characters that start in the next `bytes` bytes of input (a
// character may end past them) and writes a zero unit after what it
// decoded; the narrow view turns null once the bytes stop matching the
// units. It returns false at a fault (Fault()), after which no step may be
// taken. Done once the input is decoded whole.
class XmlUtf8Steps {
 public:
  XmlUtf8Steps(const XmlSource& source, wchar_t* dest, XmlNarrowText* narrow);
  bool Step(size_t bytes);
  bool Done() const { return m_pIn == m_pEnd; }
  size_t Units() const { return m_Units; }
  const XmlDecodeFault& Fault() const { return m_Fault; }

 private:
  const unsigned char* m_pData;
  const unsigned char* m_pIn;  // the first byte not decoded
  const unsigned char* m_pEnd;
  wchar_t* m_pDest;
  size_t m_Units = 0;
  XmlNarrowText* m_pNarrow;
  bool m_Windows;      // the vector level decodes XML windows
  size_t m_Retry = 0;  // how far the last stop of the windows put them off
  XmlDecodeFault m_Fault;
};

XmlSource XmlDetectEncoding(const unsigned char* data, size_t length);
inline size_t XmlDecodeRoom(const XmlSource& source) {
  return source.m_Length - source.m_Start + 1;
}
bool XmlDecode(const XmlSource& source, wchar_t* dest, size_t* units, XmlDecodeFault* fault,
               XmlNarrowText* narrow);
size_t XmlByteOffset(const XmlSource& source, size_t unit);
void XmlPosition(const XmlSource& source, size_t byte, int* line, int* column);

}  // namespace cwbase_internal
