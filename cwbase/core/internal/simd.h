// The library's vector primitives: sixteen units at a time through SSE2,
// which every x86-64 target has. Every scanner and converter that works a
// vector at a time (text, xml, http) builds on these and nothing else (the
// kernels chosen at run time also on simd_avx2.h); no other file includes
// an intrinsics header or tests __SSE2__.
//
// Contract
// - CWBASE_SIMD_SSE2 is defined to 1 when the target has SSE2 and the build
//   did not define CWBASE_NO_SSE2; CWBASE_SIMD_AVX2 to 1 when, in addition,
//   AVX2 kernels are built for x86-64 (chosen at run time, see
//   cpu_level.h). Code that uses these functions sits inside
//   `#if defined(CWBASE_SIMD_SSE2)` and is followed by the portable loop that
//   does the same work, which then handles the tail and, with the switch
//   off, everything.
// - Loads read exactly 16 units at the pointer, unaligned; the caller makes
//   sure they exist. Masks are 16-bit: bit i stands for unit i.
// - LoadNarrow16 packs 16 wide units into 16 bytes with signed saturation,
//   which maps every unit outside 0-126 to a byte outside 0-126: comparisons
//   with ASCII characters below 127 stay exact, a 127 byte may stand for a
//   larger unit.
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) && !defined(CWBASE_NO_SSE2)
#define CWBASE_SIMD_SSE2 1
#include <emmintrin.h>
#endif

// Kernels for AVX2 are built too on x86-64 with a compiler that takes
// per-function targets (simd_avx2.h); they run only where the processor has
// AVX2 (core/internal/cpu_level.h).
#if defined(CWBASE_SIMD_SSE2) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CWBASE_SIMD_AVX2 1
#endif

namespace cwbase_internal {
namespace simd {

// The bits of a 16-unit block starting at `at` that lie before `end`.
inline unsigned BitsBefore(size_t at, size_t end) {
  return end - at >= 16 ? 0xFFFFu : (1u << (end - at)) - 1;
}

// Index of the lowest set bit of a non-zero mask.
inline unsigned FirstBit(unsigned mask) {
  return static_cast<unsigned>(__builtin_ctz(mask));
}

// Index of the lowest set bit of a non-zero 64-bit mask (four blocks' masks).
inline unsigned FirstBit64(uint64_t mask) {
  return static_cast<unsigned>(__builtin_ctzll(mask));
}

// Index of the highest set bit of a non-zero 64-bit mask.
inline unsigned LastBit64(uint64_t mask) {
  return 63u - static_cast<unsigned>(__builtin_clzll(mask));
}

// Number of set bits of a mask.
inline unsigned BitCount(unsigned mask) {
  return static_cast<unsigned>(__builtin_popcount(mask));
}

// Number of set bits of a 64-bit mask.
inline unsigned BitCount64(uint64_t mask) {
  return static_cast<unsigned>(__builtin_popcountll(mask));
}

#if defined(CWBASE_SIMD_SSE2)

using Vec = __m128i;

inline Vec Load16(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const Vec*>(p));
}
inline Vec Load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const Vec*>(p));
}

// Four wide units at p, one per 32-bit lane.
inline Vec Load4(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 4, "four units per vector");
  return _mm_loadu_si128(reinterpret_cast<const Vec*>(p));
}

// Stores the four 32-bit lanes of v at out, which is 16-byte aligned.
inline void StoreAligned4(Vec v, uint32_t* out) {
  _mm_store_si128(reinterpret_cast<Vec*>(out), v);
}

// Four wide units stored as they are, unaligned.
inline void Store4(wchar_t* p, Vec v) {
  _mm_storeu_si128(reinterpret_cast<Vec*>(p), v);
}

// Sixteen bytes stored, unaligned.
inline void Store16(char* p, Vec v) {
  _mm_storeu_si128(reinterpret_cast<Vec*>(p), v);
}

inline Vec LoadNarrow16(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 4, "four units per vector");
  const auto* v = reinterpret_cast<const Vec*>(p);
  const Vec lo = _mm_packs_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
  const Vec hi = _mm_packs_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
  return _mm_packs_epi16(lo, hi);
}

// ---- Whole-vector values and bit operations.

// All bits zero.
inline Vec Zero() {
  return _mm_setzero_si128();
}

// Every byte c.
inline Vec Splat8(char c) {
  return _mm_set1_epi8(c);
}

// Every 16-bit lane k.
inline Vec Splat16(int16_t k) {
  return _mm_set1_epi16(k);
}

// Every 32-bit lane k.
inline Vec Splat32(int32_t k) {
  return _mm_set1_epi32(k);
}

// a | b.
inline Vec Or(Vec a, Vec b) {
  return _mm_or_si128(a, b);
}

// a & b.
inline Vec And(Vec a, Vec b) {
  return _mm_and_si128(a, b);
}

// ~a & b (note the order: the first operand is the one inverted).
inline Vec AndNot(Vec a, Vec b) {
  return _mm_andnot_si128(a, b);
}

// a - b in each 32-bit lane.
inline Vec Sub32(Vec a, Vec b) {
  return _mm_sub_epi32(a, b);
}

// ---- Lane-wise compares: all ones in the lanes where the compare holds.

// Bytes equal to c.
inline Vec EqBytes(Vec v, char c) {
  return _mm_cmpeq_epi8(v, _mm_set1_epi8(c));
}

// Bytes below c, compared as signed bytes.
inline Vec LessBytes(Vec v, char c) {
  return _mm_cmplt_epi8(v, _mm_set1_epi8(c));
}

// Bytes from lo to hi (lo <= hi), compared as unsigned bytes.
inline Vec InRangeBytes(Vec v, unsigned char lo, unsigned char hi) {
  const Vec shifted = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(lo)));
  const Vec above = _mm_subs_epu8(shifted, _mm_set1_epi8(static_cast<char>(hi - lo)));
  return _mm_cmpeq_epi8(above, _mm_setzero_si128());
}
// 16-bit lanes above k, compared as signed numbers.
inline Vec Greater16(Vec v, int16_t k) {
  return _mm_cmpgt_epi16(v, _mm_set1_epi16(k));
}

// 32-bit lanes equal to k.
inline Vec Eq32(Vec v, int32_t k) {
  return _mm_cmpeq_epi32(v, _mm_set1_epi32(k));
}

// 32-bit lanes above k, compared as signed numbers.
inline Vec Greater32(Vec v, int32_t k) {
  return _mm_cmpgt_epi32(v, _mm_set1_epi32(k));
}

// ---- Shifts by a constant count, each lane on its own.

// 16-bit lanes shifted left by n bits.
template <int n>
inline Vec ShiftLeft16(Vec v) {
  return _mm_slli_epi16(v, n);
}

// 32-bit lanes shifted left by n bits.
template <int n>
inline Vec ShiftLeft32(Vec v) {
  return _mm_slli_epi32(v, n);
}

// 32-bit lanes shifted right by n bits, zeros coming in.
template <int n>
inline Vec ShiftRight32(Vec v) {
  return _mm_srli_epi32(v, n);
}

// ---- Zero extension (unpacking with zero).

// Bytes 0-7 of v zero-extended to eight 16-bit lanes.
inline Vec WidenLow8(Vec v) {
  return _mm_unpacklo_epi8(v, _mm_setzero_si128());
}

// Bytes 8-15 of v zero-extended to eight 16-bit lanes.
inline Vec WidenHigh8(Vec v) {
  return _mm_unpackhi_epi8(v, _mm_setzero_si128());
}

// 16-bit lanes 0-3 of v zero-extended to four 32-bit lanes.
inline Vec WidenLow16(Vec v) {
  return _mm_unpacklo_epi16(v, _mm_setzero_si128());
}

// 16-bit lanes 4-7 of v zero-extended to four 32-bit lanes.
inline Vec WidenHigh16(Vec v) {
  return _mm_unpackhi_epi16(v, _mm_setzero_si128());
}

// ---- Masks: bit i stands for byte i.

// Bits of the bytes equal to c.
inline unsigned EqMask(Vec v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}

// Bits of the bytes below c, compared as signed bytes (non-ASCII bytes count
// as below any ASCII c).
inline unsigned LessMask(Vec v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(c))));
}

// Bits of the bytes with their top bit set (non-ASCII bytes).
inline unsigned HighMask(Vec v) {
  return static_cast<unsigned>(_mm_movemask_epi8(v));
}

// Writes the 16 bytes of v zero-extended to 16 wide units.
inline void Widen16(Vec v, wchar_t* out) {
  const Vec zero = _mm_setzero_si128();
  const Vec lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
  auto* o = reinterpret_cast<Vec*>(out);
  _mm_storeu_si128(o, _mm_unpacklo_epi16(lo, zero));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(lo, zero));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(hi, zero));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(hi, zero));
}

// When the 16 wide units at src all lie in 0-0x7F, writes them as 16 bytes
// and returns true; otherwise writes nothing and returns false.
inline bool NarrowAscii16(const wchar_t* src, char* dst) {
  const auto* p = reinterpret_cast<const Vec*>(src);
  const Vec a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
  const Vec c = _mm_loadu_si128(p + 2), d = _mm_loadu_si128(p + 3);
  const Vec any =
      _mm_and_si128(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)), _mm_set1_epi32(~0x7F));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, _mm_setzero_si128())) != 0xFFFF) return false;
  const Vec packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
  _mm_storeu_si128(reinterpret_cast<Vec*>(dst), packed);
  return true;
}

// The 16 wide units at src as bytes: each unit 0-127 as itself, every
// other unit (negative ones included) as `mark`.
inline Vec NarrowAsciiOr16(const wchar_t* src, char mark) {
  const auto* p = reinterpret_cast<const Vec*>(src);
  const Vec a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
  const Vec c = _mm_loadu_si128(p + 2), d = _mm_loadu_si128(p + 3);
  const Vec high = _mm_set1_epi32(~0x7F), zero = _mm_setzero_si128();
  // All ones in the lanes that hold ASCII, packed to one byte per unit.
  const Vec ascii = _mm_packs_epi16(_mm_packs_epi32(_mm_cmpeq_epi32(_mm_and_si128(a, high), zero),
                                                    _mm_cmpeq_epi32(_mm_and_si128(b, high), zero)),
                                    _mm_packs_epi32(_mm_cmpeq_epi32(_mm_and_si128(c, high), zero),
                                                    _mm_cmpeq_epi32(_mm_and_si128(d, high), zero)));
  const Vec packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
  return _mm_or_si128(_mm_and_si128(ascii, packed), _mm_andnot_si128(ascii, _mm_set1_epi8(mark)));
}
// The same, written to dst.
inline void NarrowAsciiOr16(const wchar_t* src, char* dst, char mark) {
  Store16(dst, NarrowAsciiOr16(src, mark));
}

#endif  // CWBASE_SIMD_SSE2

}  // namespace simd
}  // namespace cwbase_internal
