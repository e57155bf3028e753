// Character classes and small text helpers of the HTTP reader. Private to
// the HTTP subsystem.
//
// Contract
// - IsToken: letters, digits and !#$%&'*+-.^_`|~ (the characters of field
//   names); IsSpace: space and tab; HexValue: 0-15, or -1 for a byte that is
//   not a hexadecimal digit.
// - PlainName tells whether `length` bytes are all letters, digits or '-',
//   as most field names are, sixteen at a time; it reads up to `readable`
//   bytes and answers false whenever it cannot tell that way (the caller
//   then checks byte by byte).
// - TokenIs compares a token of 8 or more bytes with a lowercase name of
//   letters and '-', ASCII case ignored, eight bytes at a time.
// - Trim narrows [begin, end) of a text to exclude spaces and tabs at both
//   ends; NameIs compares `length` bytes with `want`, ASCII case ignored.
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

// The token characters of field names: letters, digits and !#$%&'*+-.^_`|~.
struct TokenTable {
  bool m_Token[256];
  constexpr TokenTable() : m_Token() {
    for (int c = '0'; c <= '9'; ++c) m_Token[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) m_Token[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) m_Token[c] = true;
    for (const char* p = "!#$%&'*+-.^_`|~"; *p; ++p) m_Token[static_cast<unsigned char>(*p)] = true;
  }
};
inline constexpr TokenTable kTokens;

inline bool IsToken(char c) {
  return kTokens.m_Token[static_cast<unsigned char>(c)];
}

inline bool IsSpace(char c) {
  // One compare for the usual byte, which lies above the space.
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || c == '\t');
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The value of each byte as a hexadecimal digit, -1 for the others.
struct HexTable {
  signed char m_Value[256];
  constexpr HexTable() : m_Value() {
    for (int c = 0; c < 256; ++c) m_Value[c] = -1;
    for (int c = '0'; c <= '9'; ++c) m_Value[c] = static_cast<signed char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) m_Value[c] = static_cast<signed char>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) m_Value[c] = static_cast<signed char>(c - 'A' + 10);
  }
};
inline constexpr HexTable kHexValues;

inline int HexValue(char c) {
  return kHexValues.m_Value[static_cast<unsigned char>(c)];
}

// [begin, end) of text[0, length) without surrounding spaces and tabs.
inline void Trim(const char* text, long& begin, long& end) {
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
}

// An ASCII letter in lower case; any other byte as it is.
inline unsigned char LowerAscii(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return static_cast<unsigned char>(static_cast<unsigned>(u - 'A') < 26u ? u + ('a' - 'A') : u);
}

inline bool NameIs(const char* name, long length, const char* want) {
  for (long i = 0; i < length; ++i)
    if (want[i] == '\0' || LowerAscii(name[i]) != LowerAscii(want[i])) return false;
  return want[length] == '\0';
}

// Whether the token `name` (`length` bytes, 8 or more) is `lower`, a name
// of lowercase letters and '-' of the same length, ASCII case ignored. Eight
// bytes at a time: setting bit 5 of a token byte gives `lower`'s byte only
// when it is that letter in either case or '-'.
inline bool TokenIs(const char* name, long length, const char* lower) {
  const std::uint64_t kCase = 0x2020202020202020u;
  std::uint64_t a;
  std::uint64_t b;
  for (long i = 0; i + 8 < length; i += 8) {
    std::memcpy(&a, name + i, 8);
    std::memcpy(&b, lower + i, 8);
    if ((a | kCase) != b) return false;
  }
  std::memcpy(&a, name + length - 8, 8);
  std::memcpy(&b, lower + length - 8, 8);
  return (a | kCase) == b;
}

#if defined(CWBASE_SIMD_SSE2)
// The bits of the letters, digits and '-' among the 16 bytes at `p`.
inline unsigned PlainMask16(const char* p) {
  const simd::Vec v = simd::Load16(p);
  // A byte with bit 5 set is a lowercase letter exactly when the byte is a letter.
  const simd::Vec letter = simd::InRangeBytes(simd::Or(v, simd::Splat8(0x20)), 'a', 'z');
  return simd::HighMask(
      simd::Or(simd::Or(letter, simd::InRangeBytes(v, '0', '9')), simd::EqBytes(v, '-')));
}
#endif

inline bool PlainName(const char* name, long length, long readable) {
#if defined(CWBASE_SIMD_SSE2)
  if (length <= 0) return true;
  if (readable < ((length + 15) & ~15L)) return false;
  if (length <= 16) {
    // The usual name: one vector.
    const unsigned want = (2u << (length - 1)) - 1;
    return (PlainMask16(name) & want) == want;
  }
  long i = 0;
  for (; length - i > 16; i += 16)
    if (PlainMask16(name + i) != 0xFFFFu) return false;
  // The last 1 to 16 bytes.
  const unsigned want = (2u << (length - i - 1)) - 1;
  return (PlainMask16(name + i) & want) == want;
#else
  (void)name;
  (void)length;
  (void)readable;
  return false;
#endif
}

}  // namespace cwbase_internal
