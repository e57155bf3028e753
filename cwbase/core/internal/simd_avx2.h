// The library's 256-bit vector primitives (AVX2), for the kernels that run
// only where the processor has AVX2 (core/internal/cpu_level.h). The file
// that uses them is compiled for the baseline like every other: each
// function here, and each function that calls them, carries CWBASE_AVX2,
// which lets the compiler use AVX2, BMI1, BMI2 and POPCNT in that function
// alone. Nothing else may call such a function unless the active level is
// kAvx2.
//
// Contract
// - Everything here exists when CWBASE_SIMD_AVX2 is defined (simd.h).
// - Loads read exactly the bytes or units they name at the pointer,
//   unaligned; the caller makes sure they exist. Masks: bit i stands for
//   byte i (32-bit masks) or for 32-bit lane i (8-bit masks).
// - The compilers leave the upper halves clean (vzeroupper) on return from
//   each CWBASE_AVX2 function that used them, so the SSE code that runs
//   afterwards pays no transition.
// Threads: pure functions.
#pragma once

#include <cstdint>

#include "cwbase/core/internal/simd.h"

#if defined(CWBASE_SIMD_AVX2)
#include <immintrin.h>

#define CWBASE_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

namespace cwbase_internal {
namespace avx2 {

using Vec256 = __m256i;
using Vec128 = __m128i;

// ---- Bytes.

CWBASE_AVX2 inline Vec256 Load32(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const Vec256*>(p));
}

// Bits of the bytes with their top bit set.
CWBASE_AVX2 inline uint32_t HighMask(Vec256 v) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(v));
}

// Bits of the bytes below c, compared as signed bytes.
CWBASE_AVX2 inline uint32_t LessMask(Vec256 v, char c) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(c), v)));
}

// Sixteen bytes, unaligned.
CWBASE_AVX2 inline Vec128 Load16(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const Vec128*>(p));
}
CWBASE_AVX2 inline void Store16(unsigned char* p, Vec128 v) {
  _mm_storeu_si128(reinterpret_cast<Vec128*>(p), v);
}

// Every byte c.
CWBASE_AVX2 inline Vec256 Splat8(char c) {
  return _mm256_set1_epi8(c);
}

// All ones in the bytes equal to c.
CWBASE_AVX2 inline Vec256 EqBytes(Vec256 v, char c) {
  return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c));
}

// All ones in the bytes below c, compared as signed bytes.
CWBASE_AVX2 inline Vec256 LessBytes(Vec256 v, char c) {
  return _mm256_cmpgt_epi8(_mm256_set1_epi8(c), v);
}

// The eight bytes at p zero-extended to eight 32-bit lanes.
CWBASE_AVX2 inline Vec256 WidenBytes8(const unsigned char* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const Vec128*>(p)));
}

// The sixteen bytes at p zero-extended to sixteen 16-bit lanes.
CWBASE_AVX2 inline Vec256 WidenBytes16(const unsigned char* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const Vec128*>(p)));
}

// ---- 16-bit lanes.

CWBASE_AVX2 inline Vec256 Splat16(int16_t k) {
  return _mm256_set1_epi16(k);
}
// Lanes above k, compared as signed numbers: all ones where it holds.
CWBASE_AVX2 inline Vec256 Greater16(Vec256 v, int16_t k) {
  return _mm256_cmpgt_epi16(v, _mm256_set1_epi16(k));
}
template <int n>
CWBASE_AVX2 inline Vec256 ShiftLeft16(Vec256 v) {
  return _mm256_slli_epi16(v, n);
}
// The eight 16-bit lanes of the low (high) half zero-extended to 32 bits.
CWBASE_AVX2 inline Vec256 WidenLowHalf16(Vec256 v) {
  return _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v));
}
CWBASE_AVX2 inline Vec256 WidenHighHalf16(Vec256 v) {
  return _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1));
}

// ---- 32-bit lanes.

CWBASE_AVX2 inline Vec256 LoadUnits8(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 4, "eight units per vector");
  return _mm256_loadu_si256(reinterpret_cast<const Vec256*>(p));
}

CWBASE_AVX2 inline void StoreUnits8(wchar_t* p, Vec256 v) {
  _mm256_storeu_si256(reinterpret_cast<Vec256*>(p), v);
}

// Stores the lanes of v whose lane of `lanes` is all ones; nothing else of
// the 32 bytes at p is touched.
CWBASE_AVX2 inline void MaskStoreUnits8(wchar_t* p, Vec256 lanes, Vec256 v) {
  _mm256_maskstore_epi32(reinterpret_cast<int*>(p), lanes, v);
}

// All ones in the lanes below `count` (0 to 8).
CWBASE_AVX2 inline Vec256 FirstLanes(unsigned count) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

CWBASE_AVX2 inline Vec256 Splat32(int32_t k) {
  return _mm256_set1_epi32(k);
}
CWBASE_AVX2 inline Vec256 Or(Vec256 a, Vec256 b) {
  return _mm256_or_si256(a, b);
}
CWBASE_AVX2 inline Vec256 And(Vec256 a, Vec256 b) {
  return _mm256_and_si256(a, b);
}
// ~a & b.
CWBASE_AVX2 inline Vec256 AndNot(Vec256 a, Vec256 b) {
  return _mm256_andnot_si256(a, b);
}
// Lanes above k, compared as signed numbers: all ones where it holds.
CWBASE_AVX2 inline Vec256 Greater32(Vec256 v, int32_t k) {
  return _mm256_cmpgt_epi32(v, _mm256_set1_epi32(k));
}
CWBASE_AVX2 inline Vec256 Greater32(Vec256 a, Vec256 b) {
  return _mm256_cmpgt_epi32(a, b);
}
CWBASE_AVX2 inline Vec256 Eq32(Vec256 v, int32_t k) {
  return _mm256_cmpeq_epi32(v, _mm256_set1_epi32(k));
}
// b in the lanes where `pick` is all ones, a elsewhere.
CWBASE_AVX2 inline Vec256 Select(Vec256 pick, Vec256 a, Vec256 b) {
  return _mm256_blendv_epi8(a, b, pick);
}
template <int n>
CWBASE_AVX2 inline Vec256 ShiftLeft32(Vec256 v) {
  return _mm256_slli_epi32(v, n);
}
template <int n>
CWBASE_AVX2 inline Vec256 ShiftRight32(Vec256 v) {
  return _mm256_srli_epi32(v, n);
}
// Each lane shifted by its own count in `counts` (32 or more gives 0).
CWBASE_AVX2 inline Vec256 ShiftRightEach32(Vec256 v, Vec256 counts) {
  return _mm256_srlv_epi32(v, counts);
}
CWBASE_AVX2 inline Vec256 ShiftLeftEach32(Vec256 v, Vec256 counts) {
  return _mm256_sllv_epi32(v, counts);
}

// Eight 32-bit lanes from a table row, aligned or not.
CWBASE_AVX2 inline Vec256 LoadLanes(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const Vec256*>(p));
}

// A table of 16 bytes for Lookup, the same in both halves.
CWBASE_AVX2 inline Vec256 Table16(const unsigned char (&t)[16]) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const Vec128*>(t)));
}

// Each byte of `index` (0-15) replaced by that entry of the table; an index
// byte with its top bit set gives zero.
CWBASE_AVX2 inline Vec256 Lookup(Vec256 table, Vec256 index) {
  return _mm256_shuffle_epi8(table, index);
}

// Bits of the lanes whose top bit is set.
CWBASE_AVX2 inline unsigned LaneMask(Vec256 v) {
  return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(v)));
}
// Whether every lane of v is zero.
CWBASE_AVX2 inline bool AllZero(Vec256 v) {
  return _mm256_testz_si256(v, v) != 0;
}

// Lane i of the result is lane (index lane i) & 7 of v.
CWBASE_AVX2 inline Vec256 PickLanes(Vec256 v, Vec256 index) {
  return _mm256_permutevar8x32_epi32(v, index);
}

// Sixteen units all in 0-0x7F (a and b, units 0-7 and 8-15) as 16 bytes.
CWBASE_AVX2 inline void StoreNarrow16(Vec256 a, Vec256 b, unsigned char* p) {
  // packs interleaves the halves; the permute puts a's and b's units in order.
  const Vec256 words = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
  const Vec128 bytes =
      _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
  _mm_storeu_si128(reinterpret_cast<Vec128*>(p), bytes);
}

// The bytes of each 128-bit half of v rearranged by its own 16-byte control
// (lo for the low half, hi for the high half; a control byte with its top
// bit set gives zero).
CWBASE_AVX2 inline Vec256 ShuffleHalves(Vec256 v, const unsigned char* lo,
                                        const unsigned char* hi) {
  const Vec256 control = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const Vec128*>(lo))),
      _mm_loadu_si128(reinterpret_cast<const Vec128*>(hi)), 1);
  return _mm256_shuffle_epi8(v, control);
}

// The bytes of each 128-bit half of v rearranged by its own 16-byte control
// (lo for the low half, hi for the high half; a control byte with its top
// bit set gives zero); the low half is stored at p, the high half at q.
CWBASE_AVX2 inline void ShuffleStore(Vec256 v, const unsigned char* lo, const unsigned char* hi,
                                     unsigned char* p, unsigned char* q) {
  const Vec256 control = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const Vec128*>(lo))),
      _mm_loadu_si128(reinterpret_cast<const Vec128*>(hi)), 1);
  const Vec256 shuffled = _mm256_shuffle_epi8(v, control);
  _mm_storeu_si128(reinterpret_cast<Vec128*>(p), _mm256_castsi256_si128(shuffled));
  _mm_storeu_si128(reinterpret_cast<Vec128*>(q), _mm256_extracti128_si256(shuffled, 1));
}

// Number of set bits of a 64-bit mask (POPCNT).
CWBASE_AVX2 inline unsigned BitCount64(uint64_t mask) {
  return static_cast<unsigned>(__builtin_popcountll(mask));
}

}  // namespace avx2
}  // namespace cwbase_internal

#endif  // CWBASE_SIMD_AVX2
