// Internal building blocks of the locale conversions, shared with the XML
// writer. Not part of the library's public interface.
//
// Contract
// - CurrentCodeset() classifies the calling thread's current locale: kUtf8
//   and kAscii name the two encodings whose standard-library conversions
//   (wcstombs/mbstowcs) the library reproduces exactly; every other locale is
//   kOther and must go through the standard library. It reads the locale on
//   every call (no caching), so a locale change takes effect at once.
// - EncodeMultiByte() writes one wide character as wcstombs does in those two
//   encodings and returns its byte count, 0 when the conversion drops it
//   without output, or -1 when the locale has no form for it. UTF-8 (as the
//   C library writes it): 1 to 6 bytes for values up to 0x7FFFFFFF, no form
//   for surrogates (0xD800-0xDFFF) and values above 0x7FFFFFFF (negative
//   units). ASCII: one byte below 0x80; the tag characters U+E0000-U+E007F
//   are dropped; no form for anything else.
// - NarrowAsciiRun() / WidenAsciiRun() copy the leading run of ASCII units
//   (values 0x00-0x7F) of at most n units between wide and byte text and
//   return its length; nothing beyond that run is read past n or written.
// Threads: re-entrant; CurrentCodeset reads the thread's current locale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

enum class Codeset { kUtf8, kAscii, kOther };

Codeset CurrentCodeset();

// Largest number of bytes EncodeMultiByte writes for one character.
constexpr int kMaxMultiByte = 6;

int EncodeMultiByte(Codeset codeset, uint32_t wc, unsigned char* out);

inline size_t NarrowAsciiRun(const wchar_t* src, size_t n, char* dst) {
  size_t i = 0;
#if defined(CWBASE_SIMD_SSE2)
  while (i + 16 <= n && simd::NarrowAscii16(src + i, dst + i)) i += 16;
#endif
  for (; i < n; ++i) {
    auto v = static_cast<uint32_t>(src[i]);  // NOLINT(bugprone-signed-char-misuse): a 32-bit unit
    if (v >= 0x80) break;
    dst[i] = static_cast<char>(v);
  }
  return i;
}

inline size_t WidenAsciiRun(const unsigned char* src, size_t n, wchar_t* dst) {
  size_t i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= n; i += 16) {
    const simd::Vec x = simd::Load16(src + i);
    if (simd::HighMask(x) != 0) break;
    simd::Widen16(x, dst + i);
  }
#endif
  for (; i < n && src[i] < 0x80; ++i) dst[i] = static_cast<wchar_t>(src[i]);
  return i;
}

}  // namespace cwbase_internal
