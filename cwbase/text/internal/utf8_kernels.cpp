// The block kernels' entry points: each calls the table of the active vector
// level, chosen once. The scalar level's table takes nothing, so that the
// converters' character-at-a-time rules do all the work.
#include "cwbase/text/internal/utf8_kernels.h"

#include "cwbase/core/internal/cpu_level.h"
#include "cwbase/text/internal/utf8_kernel_table.h"

namespace cwbase_internal {
namespace {

size_t CountNone(const unsigned char*, size_t, size_t*) {
  return 0;
}
size_t DecodeNone(const unsigned char*, size_t, bool, wchar_t*, size_t, size_t* written) {
  *written = 0;
  return 0;
}
size_t DecodeStrictNone(const unsigned char*, size_t, bool, wchar_t*, size_t, size_t* written) {
  *written = 0;
  return 0;
}
size_t EncodeNone(const wchar_t*, size_t, unsigned char*, size_t, size_t* written) {
  *written = 0;
  return 0;
}

constexpr Utf8KernelTable kScalarUtf8Kernels = {
    CountNone, DecodeNone, DecodeStrictNone, {EncodeNone, EncodeNone, EncodeNone, EncodeNone},
    nullptr,   nullptr};

const Utf8KernelTable& ChooseKernels() {
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
#if defined(CWBASE_SIMD_AVX2)
      return HasAvx512Vbmi2() ? kAvx512Vbmi2Utf8Kernels : kAvx512Utf8Kernels;
#endif
      [[fallthrough]];
    case SimdLevel::kAvx2:
#if defined(CWBASE_SIMD_AVX2)
      return kAvx2Utf8Kernels;
#endif
      [[fallthrough]];
    case SimdLevel::kSse2:
#if defined(CWBASE_SIMD_SSE2)
      return kSse2Utf8Kernels;
#endif
      [[fallthrough]];
    case SimdLevel::kScalar:
      break;
  }
  return kScalarUtf8Kernels;
}

const Utf8KernelTable& Kernels() {
  static const Utf8KernelTable& table = ChooseKernels();
  return table;
}

}  // namespace

size_t CountUtf8Windows(const unsigned char* src, size_t n, size_t* count) {
  return Kernels().count(src, n, count);
}

size_t DecodeUtf8Windows(const unsigned char* src, size_t n, bool allowFour, wchar_t* dst,
                         size_t room, size_t* written) {
  return Kernels().decode(src, n, allowFour, dst, room, written);
}

size_t DecodeUtf8WindowsStrict(const unsigned char* src, size_t n, bool utf8, wchar_t* dst,
                               size_t room, size_t* written) {
  return Kernels().decodeStrict(src, n, utf8, dst, room, written);
}

size_t EncodeUtf8Blocks(const wchar_t* src, size_t n, Utf8Blocks mode, unsigned char* dst,
                        size_t room, size_t* written) {
  return Kernels().encode[static_cast<int>(mode)](src, n, dst, room, written);
}

bool HasXmlUtf8Windows() {
  return Kernels().decodeXml != nullptr;
}

size_t DecodeXmlUtf8Windows(const unsigned char* src, size_t n, wchar_t* dst, size_t room,
                            size_t* written) {
  const auto decode = Kernels().decodeXml;
  if (decode) return decode(src, n, dst, room, written);
  *written = 0;
  return 0;
}

size_t NarrowAsciiOrBlocks(const wchar_t* src, size_t n, char mark, char* dst) {
  const auto narrow = Kernels().narrowOr;
  return narrow ? narrow(src, n, mark, dst) : 0;
}

}  // namespace cwbase_internal
