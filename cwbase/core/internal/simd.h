// The library's vector primitives: sixteen units at a time through SSE2,
// which every x86-64 target has. Every scanner and converter that works a
// vector at a time (text, xml, http) builds on these and nothing else (the
// kernels chosen at run time also on the AVX2 and AVX-512 ones at the
// end); no other file includes an intrinsics header or tests __SSE2__.
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
// per-function targets (the avx2 namespace at the end); they run only where the processor has
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

// 256-bit primitives (AVX2), for the kernels that run only where the
// processor has AVX2 (core/internal/cpu_level.h). Their files are compiled
// for the baseline like every other: each function here, and each function
// that calls them, carries CWBASE_AVX2, which lets the compiler use AVX2,
// BMI1, BMI2 and POPCNT in that function alone; nothing else may call them
// unless the active level is kAvx2. Loads read exactly the bytes or units
// they name; 32-bit masks have a bit per byte, 8-bit masks a bit per 32-bit
// lane. The compilers leave the upper halves clean (vzeroupper) on return
// from each CWBASE_AVX2 function that used them, so SSE code afterwards
// pays no transition.
#if defined(CWBASE_SIMD_AVX2)
// GCC 12's 512-bit intrinsics start from an undefined vector, which its
// flow analysis then reports as maybe uninitialized where they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif

#define CWBASE_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))
// For the helpers of such functions, always inlined into them (a 256-bit
// value passed between functions costs more than the work).
#define CWBASE_AVX2_INLINE CWBASE_AVX2 __attribute__((always_inline)) inline

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

// 512-bit primitives (AVX-512 F, BW and VL), for the kernels that run only
// where the active level is kAvx512 (core/internal/cpu_level.h); the rules of
// the AVX2 ones above apply, with CWBASE_AVX512 in place of CWBASE_AVX2.
// Masks are 64-bit (a bit per byte) or 16-bit (a bit per 32-bit lane).
// Masked stores write only the lanes named and touch nothing else. The
// byte compression needs VBMI2 as well: it carries CWBASE_AVX512_VBMI2 and
// runs only where HasAvx512Vbmi2() holds.
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
