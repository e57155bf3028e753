// Character classes of XML, for every reader and writer of the XML
// subsystem: one table of the classes of the units 0-255, the unit-level
// predicates of XML 1.0 (fifth edition) built on it, and the members of the
// classes that vector searches compare against (scan.h searches with them).
//
// Contract
// - A class is a bit; XmlClassOf gives every class a unit belongs to. Units
//   above 255, and negative wide units, belong to kXmlHigh only.
// - kXmlHigh holds every unit from 0x7F up (DEL, the C1 controls, every
//   non-ASCII unit or byte); kXmlControl the units below 0x20, and
//   kXmlTextControl those but tab and line feed. Every other class holds
//   ASCII characters below 0x7F only.
// - Vector searches (scan.h) find a class by comparing with its members in
//   kXmlClassMembers, and the control classes and kXmlHigh by range; the
//   name classes cover too many characters for that and are not searched.
// Threads: constant tables and pure functions; re-entrant.
#pragma once

#include <array>
#include <cstdint>

namespace cwbase_internal {

// The classes, one bit each.
enum XmlClass : uint32_t {
  kXmlWhite = 1u << 0,         // S: tab, line feed, carriage return, space
  kXmlNameEnd = 1u << 1,       // space, ">", "<", zero: end the token after a "<" (exact reader)
  kXmlSpace = 1u << 2,         // space: ends a tag's name and a bare attribute value (exact reader)
  kXmlQuote = 1u << 3,         // double quote
  kXmlEquals = 1u << 4,        // "="
  kXmlTagClose = 1u << 5,      // ">"
  kXmlLt = 1u << 6,            // "<"
  kXmlAmp = 1u << 7,           // "&"
  kXmlApos = 1u << 8,          // "'"
  kXmlCr = 1u << 9,            // carriage return
  kXmlBracket = 1u << 10,      // "]", which may start "]]>"
  kXmlZero = 1u << 11,         // the zero unit that ends a text
  kXmlControl = 1u << 12,      // 0x00-0x1F
  kXmlHigh = 1u << 13,         // 0x7F and above: DEL, C1 controls, anything not ASCII
  kXmlNameStart = 1u << 14,    // ASCII NameStartChar: letters, "_", ":"
  kXmlNameChar = 1u << 15,     // ASCII NameChar: those, digits, "-", "."
  kXmlTextControl = 1u << 16,  // 0x00-0x1F but tab and line feed
  kXmlLf = 1u << 17,           // line feed
};

// Where a run of character data stops in the standard reader: markup,
// references, line ends to normalise, a possible "]]>", and the end.
constexpr uint32_t kXmlTextStop = kXmlLt | kXmlAmp | kXmlCr | kXmlBracket | kXmlZero;
// Where a run of a quoted attribute value stops in the standard reader,
// besides its quote: references, markup, the white space to normalise and
// the end.
constexpr uint32_t kXmlValueStop = kXmlAmp | kXmlLt | kXmlControl;
// What the standard writer cannot copy as it stands: in text "&", "<", ">",
// a control other than tab and LF (CR included), and anything from 0x7F up;
// in an attribute value "&", "<", '"', every control and anything from 0x7F
// up. Writing CR LF line ends, it stops at line feeds in text as well.
constexpr uint32_t kXmlTextEscape = kXmlAmp | kXmlLt | kXmlTagClose | kXmlTextControl | kXmlHigh;
constexpr uint32_t kXmlTextEscapeCrlf = kXmlTextEscape | kXmlLf;
constexpr uint32_t kXmlAttributeEscape = kXmlAmp | kXmlLt | kXmlQuote | kXmlControl | kXmlHigh;

constexpr uint32_t XmlClassesOf(unsigned c) {
  uint32_t k = 0;
  if (c == '\t' || c == '\n' || c == '\r' || c == ' ') k |= kXmlWhite;
  if (c == ' ' || c == '>' || c == '<' || c == 0) k |= kXmlNameEnd;
  if (c == ' ') k |= kXmlSpace;
  if (c == '"') k |= kXmlQuote;
  if (c == '=') k |= kXmlEquals;
  if (c == '>') k |= kXmlTagClose;
  if (c == '<') k |= kXmlLt;
  if (c == '&') k |= kXmlAmp;
  if (c == '\'') k |= kXmlApos;
  if (c == '\r') k |= kXmlCr;
  if (c == '\n') k |= kXmlLf;
  if (c == ']') k |= kXmlBracket;
  if (c == 0) k |= kXmlZero;
  if (c < 0x20) k |= kXmlControl;
  if (c < 0x20 && c != '\t' && c != '\n') k |= kXmlTextControl;
  if (c >= 0x7F) k |= kXmlHigh;
  const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
  if (start) k |= kXmlNameStart;
  if (start || (c >= '0' && c <= '9') || c == '-' || c == '.') k |= kXmlNameChar;
  return k;
}

constexpr std::array<uint32_t, 256> XmlMakeCharClass() {
  std::array<uint32_t, 256> table{};
  for (unsigned c = 0; c < 256; ++c) table[c] = XmlClassesOf(c);
  return table;
}

// The classes of every unit 0-255.
inline constexpr std::array<uint32_t, 256> kXmlCharClass = XmlMakeCharClass();

// The single characters of the classes a vector search compares with
// (every class but the control classes, kXmlHigh and the name classes).
inline constexpr char kXmlClassMembers[] = {'\0', '\t', '\n', '\r', ' ', '"',
                                            '&',  '\'', '<',  '=',  '>', ']'};

// The classes of one unit: 8-bit text as bytes, wide text as codes (a
// negative unit is a large code).
template <typename Char>
inline uint32_t XmlClassOf(Char c) {
  if constexpr (sizeof(Char) == 1) {
    return kXmlCharClass[static_cast<unsigned char>(c)];
  } else {
    const auto u = static_cast<uint32_t>(c);  // NOLINT(bugprone-signed-char-misuse)
    return u < 256 ? kXmlCharClass[u] : kXmlHigh;
  }
}

// S: space, tab, line feed, carriage return.
inline bool XmlIsSpace(uint32_t c) {
  return (XmlClassOf(c) & kXmlWhite) != 0;
}

// Char: what a document may hold at all.
inline bool XmlIsChar(uint32_t c) {
  if (c < 0x20) return (kXmlCharClass[c] & kXmlWhite) != 0;
  if (c < 0xD800) return true;
  if (c < 0xE000) return false;
  if (c < 0x10000) return c != 0xFFFE && c != 0xFFFF;
  return c <= 0x10FFFF;
}

// Characters XML allows that are written as references: the C1 controls and DEL.
inline bool XmlIsControl(uint32_t c) {
  return c >= 0x7F && c <= 0x9F;
}

// NameStartChar.
inline bool XmlIsNameStart(uint32_t c) {
  if (c < 0x80) return (kXmlCharClass[c] & kXmlNameStart) != 0;
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
         (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

// NameChar.
inline bool XmlIsNameChar(uint32_t c) {
  if (c < 0x80) return (kXmlCharClass[c] & kXmlNameChar) != 0;
  return XmlIsNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040);
}

// A whole zero-terminated name (Name production); false for null or empty.
inline bool XmlIsName(const wchar_t* s) {
  if (!s || !XmlIsNameStart(static_cast<uint32_t>(*s))) return false;
  for (++s; *s; ++s)
    if (!XmlIsNameChar(static_cast<uint32_t>(*s))) return false;
  return true;
}

}  // namespace cwbase_internal
