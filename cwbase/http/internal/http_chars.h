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
// - Trim narrows [begin, end) of a text to exclude spaces and tabs at both
//   ends; NameIs compares `length` bytes with `want`, ASCII case ignored.
// Threads: pure functions.
#pragma once

#include <strings.h>

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
  return c == ' ' || c == '\t';
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// [begin, end) of text[0, length) without surrounding spaces and tabs.
inline void Trim(const char* text, long& begin, long& end) {
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
}

inline bool NameIs(const char* name, long length, const char* want) {
  return length == static_cast<long>(std::strlen(want)) &&
         strncasecmp(name, want, static_cast<size_t>(length)) == 0;
}

inline bool PlainName(const char* name, long length, long readable) {
#if defined(CWBASE_SIMD_SSE2)
  if (readable < ((length + 15) & ~15L)) return false;
  for (long i = 0; i < length; i += 16) {
    const simd::Vec v = simd::Load16(name + i);
    const unsigned digit = ~simd::LessMask(v, '0') & simd::LessMask(v, '9' + 1);
    const unsigned upper = ~simd::LessMask(v, 'A') & simd::LessMask(v, 'Z' + 1);
    const unsigned lower = ~simd::LessMask(v, 'a') & simd::LessMask(v, 'z' + 1);
    const unsigned want = simd::BitsBefore(static_cast<size_t>(i), static_cast<size_t>(length));
    if (((digit | upper | lower | simd::EqMask(v, '-')) & want) != want) return false;
  }
  return true;
#else
  (void)name;
  (void)length;
  (void)readable;
  return false;
#endif
}

}  // namespace cwbase_internal
