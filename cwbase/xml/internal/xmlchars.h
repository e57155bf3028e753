// Character classes of XML 1.0 (fifth edition) shared by the standard reader
// and writer: white space, the characters a document may hold, and the
// characters of names.
//
// Contract: pure functions of one 32-bit value; re-entrant.
#pragma once

#include <cstdint>

namespace cwbase_internal {

// S: space, tab, line feed, carriage return.
inline bool XmlIsSpace(uint32_t c) {
  return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D;
}

// Char: what a document may hold at all.
inline bool XmlIsChar(uint32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  if (c < 0xD800) return true;
  if (c < 0xE000) return false;
  if (c < 0x10000) return c != 0xFFFE && c != 0xFFFF;
  return c <= 0x10FFFF;
}

// Characters XML allows that are written as references: the C1 controls and DEL.
inline bool XmlIsControl(uint32_t c) {
  return c >= 0x7F && c <= 0x9F;
}

// The ASCII characters of names: 1 may start one, 2 may stand in one.
constexpr uint8_t XmlAsciiNameClass(uint32_t c) {
  const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
  const bool inner = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
  return static_cast<uint8_t>((start ? 1 : 0) | (inner ? 2 : 0));
}
struct XmlAsciiNameTable {
  uint8_t m_Class[128];
  constexpr XmlAsciiNameTable() : m_Class() {
    for (uint32_t c = 0; c < 128; ++c) m_Class[c] = XmlAsciiNameClass(c);
  }
};
inline constexpr XmlAsciiNameTable kXmlAsciiName{};

// NameStartChar.
inline bool XmlIsNameStart(uint32_t c) {
  if (c < 0x80) return (kXmlAsciiName.m_Class[c] & 1) != 0;
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
         (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

// NameChar.
inline bool XmlIsNameChar(uint32_t c) {
  if (c < 0x80) return (kXmlAsciiName.m_Class[c] & 2) != 0;
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
