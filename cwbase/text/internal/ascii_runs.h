// The ASCII runs of the converters and decoders: the leading run of ASCII
// copied between byte text and wide text, sixteen units at a time through the
// vector primitives and then unit by unit. Every widening and narrowing of an
// ASCII run in the text and XML decoders goes through these two.
//
// Contract
// - WidenAsciiRun<stop, spill>(src, n, dst) widens the leading run of the n
//   bytes at src that `stop` lets through (each byte becomes the unit of the
//   same value) and returns its length. AsciiStop::kNonAscii ends the run at
//   the first byte of 0x80 or above; kNonAsciiOrControl also at the first C0
//   control other than tab, LF and CR (the bytes XML text refuses). No byte
//   at or past n is read.
// - Without `spill` nothing but the run is written to dst. With `spill`, the
//   16-byte block that holds the byte ending the run is widened whole: up to
//   15 units past the run are written, never past dst[n - 1]; their values
//   are meaningless and the caller, which has room for them, writes over
//   them next.
// - NarrowAsciiRun(src, n, dst) copies the leading run of the n wide units at
//   src that lie in 0-0x7F to dst as bytes and returns its length; nothing
//   but the run is written.
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

enum class AsciiStop {
  kNonAscii,           // bytes 0x80-0xFF
  kNonAsciiOrControl,  // those and 0x00-0x1F but tab and LF
};

// Whether byte b ends a run.
template <AsciiStop stop>
inline bool EndsAsciiRun(unsigned char b) {
  if (b >= 0x80) return true;
  return stop == AsciiStop::kNonAsciiOrControl && b < 0x20 && b != '\t' && b != '\n';
}

#if defined(CWBASE_SIMD_SSE2)
// Bits of the bytes of v that end a run.
template <AsciiStop stop>
inline unsigned AsciiRunEnds(simd::Vec v) {
  const unsigned high = simd::HighMask(v);
  if (stop == AsciiStop::kNonAscii) return high;
  // Signed compare: the bytes of 0x80 and up are below 0x20 too (already in `high`).
  const unsigned control =
      simd::LessMask(v, 0x20) & ~(simd::EqMask(v, '\t') | simd::EqMask(v, '\n'));
  return high | control;
}
#endif

template <AsciiStop stop = AsciiStop::kNonAscii, bool spill = false>
inline size_t WidenAsciiRun(const unsigned char* src, size_t n, wchar_t* dst) {
  size_t i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= n; i += 16) {
    const simd::Vec x = simd::Load16(src + i);
    const unsigned ends = AsciiRunEnds<stop>(x);
    if (spill || ends == 0) simd::Widen16(x, dst + i);
    if (ends == 0) continue;
    if (spill) return i + simd::FirstBit(ends);
    break;
  }
#endif
  for (; i < n && !EndsAsciiRun<stop>(src[i]); ++i) dst[i] = static_cast<wchar_t>(src[i]);
  return i;
}

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

}  // namespace cwbase_internal
