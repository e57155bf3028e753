// The reference versions of the four UTF-8 converters of encoding.h and of
// the character rules of internal/utf8_codec.h: plain loops, a byte or a
// unit at a time, written from the rules. The tests and fuzzers compare the
// converters and the codec with them; the library itself never calls them.
//
// Contract
// - Each Reference… function gives exactly what its public counterpart gives
//   for the same arguments: results, bytes or units written (capacity cuts
//   included), null and empty arguments. The make_ pair allocates with malloc
//   (the caller frees) and returns null when that fails.
// - ReferenceEncodeUtf8 writes one unit by the rules of WstrtoUtf8 (1 to 4
//   bytes; '?' above U+10FFFF; the low eight bits of negative units) and
//   returns the byte count. make_utf8_string uses it on 16-bit values.
// - ReferenceUnicodeCharacter reads one character of make_unicode_string
//   (1, 2 or 3 bytes by its lead, never past a zero byte) and returns the
//   bytes it took; the value goes to *value.
// - ReferenceUtf8Reader is the byte-by-byte state machine of Utf8toWStr: Feed
//   takes one byte and writes the 0 to 2 units it produces, Finish the '?' of
//   a sequence still open at the end.
// - ReferenceStrictUtf8 reads one character of strict UTF-8 from the avail
//   bytes at s: the lead's leading one bits give the length (1 to
//   maxLength), every byte after it is 10xxxxxx, and the value needs exactly
//   that length, is no surrogate and does not exceed maxValue. It returns
//   the length (the value in *value) or 0. XML's UTF-8 is (4, 0x10FFFF), the
//   C library's (6, 0x7FFFFFFF).
// Threads: re-entrant; a reader belongs to one conversion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/text/internal/utf8_codec.h"  // kMaxUtf8Unit, the size both encoders share

namespace cwbase_internal {

unsigned char* ReferenceMakeUtf8String(const wchar_t* source);
wchar_t* ReferenceMakeUnicodeString(const unsigned char* source);
int ReferenceUtf8toWStr(wchar_t* dest, int destCapacity, const char* source, int sourceLength);
int ReferenceWstrtoUtf8(char* dest, int destCapacity, const wchar_t* source, int sourceLength);
size_t ReferenceStrictUtf8(const unsigned char* s, size_t avail, size_t maxLength,
                           uint32_t maxValue, uint32_t* value);

inline size_t ReferenceEncodeUtf8(int32_t v, unsigned char* out) {
  if (v < 0x80) {  // negative units too: their low eight bits
    out[0] = static_cast<unsigned char>(v & 0xFF);
    return 1;
  }
  if (v < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 + (v >> 6));
    out[1] = static_cast<unsigned char>(0x80 + (v & 0x3F));
    return 2;
  }
  if (v < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 + (v >> 12));
    out[1] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 + (v & 0x3F));
    return 3;
  }
  if (v <= 0x10FFFF) {
    out[0] = static_cast<unsigned char>(0xF0 + (v >> 18));
    out[1] = static_cast<unsigned char>(0x80 + ((v >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 + (v & 0x3F));
    return 4;
  }
  out[0] = '?';
  return 1;
}

inline size_t ReferenceUnicodeCharacter(const unsigned char* s, unsigned* value) {
  const unsigned lead = s[0];
  const size_t length = lead < 0x80 ? 1 : (lead >= 0xE0 ? 3 : 2);
  unsigned next[2] = {0, 0};  // the following bytes; missing ones count as zero bits
  size_t taken = 1;
  while (taken < length && s[taken] != 0) {
    next[taken - 1] = s[taken] & 0x3Fu;
    ++taken;
  }
  if (length == 1)
    *value = lead;
  else if (length == 2)
    *value = ((lead & 0x3Fu) << 6) + next[0];
  else
    *value = ((lead & 0x1Fu) << 12) + (next[0] << 6) + next[1];
  return taken;
}

class ReferenceUtf8Reader {
 public:
  int Feed(unsigned b, wchar_t* out) {
    if (b < 0x80) {
      int k = 0;
      if (m_Expected) out[k++] = L'?';
      m_Expected = 0;
      out[k++] = static_cast<wchar_t>(b);
      return k;
    }
    if (b < 0xC0) {
      if (!m_Expected) {
        out[0] = L'?';
        return 1;
      }
      m_Value = (m_Value << 6) + (b & 0x3F);
      if (--m_Expected) return 0;
      out[0] = static_cast<wchar_t>(m_Value);
      return 1;
    }
    if (b < 0xE0) return Start(b & 0x1F, 1);
    if (b < 0xF0) return Start(b & 0x0F, 2);
    if (b < 0xF8) return Start(b & 0x07, 3);
    m_Expected = 0;  // F8-FF: one '?', and an open sequence goes without its own
    out[0] = L'?';
    return 1;
  }

  int Finish(wchar_t* out) {
    if (!m_Expected) return 0;
    m_Expected = 0;
    out[0] = L'?';
    return 1;
  }

  // True while a sequence waits for continuation bytes.
  bool Open() const { return m_Expected != 0; }

 private:
  // A lead byte: an open sequence is dropped without output.
  int Start(unsigned value, int expected) {
    m_Value = value;
    m_Expected = expected;
    return 0;
  }

  int m_Expected = 0;  // continuation bytes still to come
  unsigned m_Value = 0;
};

}  // namespace cwbase_internal
