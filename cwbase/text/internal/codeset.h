// Internal building blocks of the encoding conversions, shared with the XML
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

// SSE2 (part of every x86-64 target) copies ASCII runs 16 units at a time;
// elsewhere, or built with CWBASE_NO_SSE2, plain loops do the same work.
#if defined(__SSE2__) && !defined(CWBASE_NO_SSE2)
#define CWBASE_SSE2 1
#include <emmintrin.h>
#endif

namespace cwbase_internal {

enum class Codeset { kUtf8, kAscii, kOther };

Codeset CurrentCodeset();

// Largest number of bytes EncodeMultiByte writes for one character.
constexpr int kMaxMultiByte = 6;

int EncodeMultiByte(Codeset codeset, uint32_t wc, unsigned char* out);

inline size_t NarrowAsciiRun(const wchar_t* src, size_t n, char* dst) {
  size_t i = 0;
#if defined(CWBASE_SSE2)
  const __m128i high = _mm_set1_epi32(~0x7F);
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i* p = reinterpret_cast<const __m128i*>(src + i);
    __m128i a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
    __m128i c = _mm_loadu_si128(p + 2), d = _mm_loadu_si128(p + 3);
    __m128i any = _mm_and_si128(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)), high);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, zero)) != 0xFFFF) break;
    __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), packed);
  }
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
#if defined(CWBASE_SSE2)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    if (_mm_movemask_epi8(x) != 0) break;
    __m128i lo = _mm_unpacklo_epi8(x, zero), hi = _mm_unpackhi_epi8(x, zero);
    auto* out = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(out, _mm_unpacklo_epi16(lo, zero));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(lo, zero));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(hi, zero));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(hi, zero));
  }
#endif
  for (; i < n && src[i] < 0x80; ++i) dst[i] = static_cast<wchar_t>(src[i]);
  return i;
}

}  // namespace cwbase_internal
