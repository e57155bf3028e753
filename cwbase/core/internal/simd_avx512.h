// 512-bit primitives (AVX-512 F, BW and VL), for the kernels that run only
// where the active level is kAvx512 (core/internal/cpu_level.h); the rules of
// the AVX2 ones of simd.h apply, with CWBASE_AVX512 in place of CWBASE_AVX2.
// Masks are 64-bit (a bit per byte) or 16-bit (a bit per 32-bit lane).
// Masked stores write only the lanes named and touch nothing else. The
// byte compression needs VBMI2 as well: it carries CWBASE_AVX512_VBMI2 and
// runs only where HasAvx512Vbmi2() holds.
#pragma once

#include <cstdint>

// The intrinsics header comes with simd.h, the one file that includes one.
#include "cwbase/core/internal/simd.h"

#if defined(CWBASE_SIMD_AVX2)

#define CWBASE_AVX512 __attribute__((target("avx2,bmi,bmi2,popcnt,avx512f,avx512bw,avx512vl")))
#define CWBASE_AVX512_INLINE CWBASE_AVX512 __attribute__((always_inline)) inline
#define CWBASE_AVX512_VBMI2 \
  __attribute__((target("avx2,bmi,bmi2,popcnt,avx512f,avx512bw,avx512vl,avx512vbmi2")))
#define CWBASE_AVX512_VBMI2_INLINE CWBASE_AVX512_VBMI2 __attribute__((always_inline)) inline

namespace cwbase_internal {
namespace avx512 {

using Vec512 = __m512i;

// ---- Bytes: 64 per vector, a mask bit per byte.

CWBASE_AVX512 inline Vec512 Load64(const unsigned char* p) {
  return _mm512_loadu_si512(p);
}
CWBASE_AVX512 inline Vec512 Splat8(char c) {
  return _mm512_set1_epi8(c);
}
CWBASE_AVX512 inline Vec512 And(Vec512 a, Vec512 b) {
  return _mm512_and_si512(a, b);
}
CWBASE_AVX512 inline Vec512 Or(Vec512 a, Vec512 b) {
  return _mm512_or_si512(a, b);
}
// Bits of the bytes with their top bit set.
CWBASE_AVX512 inline uint64_t HighMask(Vec512 v) {
  return _mm512_movepi8_mask(v);
}
// Bits of the bytes equal to c.
CWBASE_AVX512 inline uint64_t EqMask(Vec512 v, char c) {
  return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(c));
}
// Bits of the bytes below c, compared as signed bytes.
CWBASE_AVX512 inline uint64_t LessMask(Vec512 v, char c) {
  return _mm512_cmplt_epi8_mask(v, _mm512_set1_epi8(c));
}
// The sixteen bytes at p zero-extended to sixteen 32-bit lanes.
CWBASE_AVX512 inline Vec512 WidenBytes16(const unsigned char* p) {
  return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// The lowest `count` bytes of v (0 to 64) stored at p.
CWBASE_AVX512 inline void StoreFirstBytes(unsigned char* p, unsigned count, Vec512 v) {
  const uint64_t lanes = count >= 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
  _mm512_mask_storeu_epi8(p, lanes, v);
}
// The bytes of v named by `keep`, packed to the front in order (the rest 0).
CWBASE_AVX512_VBMI2 inline Vec512 CompressBytes(uint64_t keep, Vec512 v) {
  return _mm512_maskz_compress_epi8(keep, v);
}
// The low bits of `bits` deposited at the set bits of `mask`, in order (BMI2).
CWBASE_AVX512 inline uint64_t Deposit64(uint64_t bits, uint64_t mask) {
  return _pdep_u64(bits, mask);
}

// ---- 32-bit lanes: 16 per vector, a mask bit per lane.

CWBASE_AVX512 inline Vec512 LoadUnits16(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 4, "sixteen units per vector");
  return _mm512_loadu_si512(p);
}
CWBASE_AVX512 inline void StoreUnits16(wchar_t* p, Vec512 v) {
  _mm512_storeu_si512(p, v);
}
// The lowest `count` lanes of v (0 to 16) stored at p.
CWBASE_AVX512 inline void StoreFirstUnits(wchar_t* p, unsigned count, Vec512 v) {
  _mm512_mask_storeu_epi32(p, static_cast<__mmask16>((1u << count) - 1), v);
}
// Sixteen lanes from a table row, aligned or not.
CWBASE_AVX512 inline Vec512 LoadLanes(const uint32_t* p) {
  return _mm512_loadu_si512(p);
}
CWBASE_AVX512 inline Vec512 Splat32(int32_t k) {
  return _mm512_set1_epi32(k);
}
template <int n>
CWBASE_AVX512 inline Vec512 ShiftLeft32(Vec512 v) {
  return _mm512_slli_epi32(v, n);
}
template <int n>
CWBASE_AVX512 inline Vec512 ShiftRight32(Vec512 v) {
  return _mm512_srli_epi32(v, n);
}
// Each lane shifted right by its own count in `counts` (32 or more gives 0).
CWBASE_AVX512 inline Vec512 ShiftRightEach32(Vec512 v, Vec512 counts) {
  return _mm512_srlv_epi32(v, counts);
}
// Lane i of the result is lane (index lane i) & 15 of v.
CWBASE_AVX512 inline Vec512 PickLanes(Vec512 v, Vec512 index) {
  return _mm512_permutexvar_epi32(index, v);
}
// The lanes of v named by `keep`, packed to the front in order (the rest 0).
CWBASE_AVX512 inline Vec512 CompressLanes(unsigned keep, Vec512 v) {
  return _mm512_maskz_compress_epi32(static_cast<__mmask16>(keep), v);
}
// Bits of the lanes above k, compared as signed numbers.
CWBASE_AVX512 inline unsigned GreaterMask32(Vec512 v, int32_t k) {
  return _mm512_cmpgt_epi32_mask(v, _mm512_set1_epi32(k));
}
// Bits of the lanes equal to k.
CWBASE_AVX512 inline unsigned EqMask32(Vec512 v, int32_t k) {
  return _mm512_cmpeq_epi32_mask(v, _mm512_set1_epi32(k));
}
// Bits of the lanes that share a set bit with `bits`.
CWBASE_AVX512 inline unsigned AnyBitsMask32(Vec512 v, int32_t bits) {
  return _mm512_test_epi32_mask(v, _mm512_set1_epi32(bits));
}
// b in the lanes named by `pick`, a elsewhere.
CWBASE_AVX512 inline Vec512 Select(unsigned pick, Vec512 a, Vec512 b) {
  return _mm512_mask_mov_epi32(a, static_cast<__mmask16>(pick), b);
}
// The low byte of each lane, as sixteen bytes stored at p.
CWBASE_AVX512 inline void StoreLowBytes16(unsigned char* p, Vec512 v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_cvtepi32_epi8(v));
}

}  // namespace avx512
}  // namespace cwbase_internal

#endif  // CWBASE_SIMD_AVX2
