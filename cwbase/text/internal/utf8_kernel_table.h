// The block kernels of the UTF-8 converters, one table of functions per
// vector level. utf8_kernels.cpp picks one table, once, by the active level
// (core/internal/cpu_level.h) and every converter calls through it; the
// tables themselves are defined by the level's own translation unit.
//
// Contract
// - Each entry does what the function of the same role in utf8_kernels.h
//   promises (count: CountUtf8Windows, decode: DecodeUtf8Windows,
//   decodeStrict: DecodeUtf8WindowsStrict, encode: EncodeUtf8Blocks,
//   decodeXml: DecodeXmlUtf8Windows, narrowOr: NarrowAsciiOrBlocks), with
//   exactly the same results; levels differ only in how much of the input
//   their blocks take and how fast. decodeXml and narrowOr are null at a
//   level without such a kernel.
// - kSse2Utf8Kernels exists when CWBASE_SIMD_SSE2 is defined,
//   kAvx2Utf8Kernels, kAvx512Utf8Kernels and kAvx512Vbmi2Utf8Kernels when
//   CWBASE_SIMD_AVX2 is; their entries may be called only on a processor
//   with the level's support (and VBMI2 for the last).
// Threads: pure functions; the tables are constant.
#pragma once

#include <cstddef>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernels.h"

namespace cwbase_internal {

static_assert(static_cast<int>(Utf8Blocks::kAscii) == 3, "four encoders, indexed by mode");

struct Utf8KernelTable {
  size_t (*count)(const unsigned char* src, size_t n, size_t* count);
  size_t (*decode)(const unsigned char* src, size_t n, bool allowFour, wchar_t* dst, size_t room,
                   size_t* written);
  size_t (*decodeStrict)(const unsigned char* src, size_t n, bool utf8, wchar_t* dst, size_t room,
                         size_t* written);
  // One encoder for each Utf8Blocks mode, in the enumeration's order.
  size_t (*encode[4])(const wchar_t* src, size_t n, unsigned char* dst, size_t room,
                      size_t* written);
  size_t (*decodeXml)(const unsigned char* src, size_t n, wchar_t* dst, size_t room,
                      size_t* written);
  size_t (*narrowOr)(const wchar_t* src, size_t n, char mark, char* dst);
};

#if defined(CWBASE_SIMD_SSE2)
extern const Utf8KernelTable kSse2Utf8Kernels;
#endif
#if defined(CWBASE_SIMD_AVX2)
extern const Utf8KernelTable kAvx2Utf8Kernels;
// Its wide-side entries (utf8_encode_avx2.cpp).
// One for each mode, instantiated there.
template <Utf8Blocks mode>
CWBASE_AVX2 size_t Avx2Encode(const wchar_t* src, size_t n, unsigned char* dst, size_t room,
                              size_t* written);
size_t Avx2NarrowOr(const wchar_t* src, size_t n, char mark, char* dst);
// AVX-512 (utf8_kernels_avx512.cpp): the encoders are AVX2's without VBMI2.
extern const Utf8KernelTable kAvx512Utf8Kernels;
extern const Utf8KernelTable kAvx512Vbmi2Utf8Kernels;
#endif

}  // namespace cwbase_internal
