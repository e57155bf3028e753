// Where a line of an HTTP message stops: the first LF, CR or NUL byte.
// Private to the HTTP subsystem.
//
// Contract
// - FindLineStop(text, size) returns the offset of the first LF, CR or NUL
//   among the `size` bytes at `text`, or `size` when there is none. It reads
//   only those bytes.
// Threads: a pure function.
#pragma once

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

inline bool IsLineStop(char c) {
  return c == '\n' || c == '\r' || c == '\0';
}

// Sixteen bytes per step where the vector primitives are available; the
// portable loop takes the tail (everything when they are off).
inline long FindLineStop(const char* text, long size) {
  long i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= size; i += 16) {
    const simd::Vec v = simd::Load16(text + i);
    const unsigned stops = simd::EqMask(v, '\n') | simd::EqMask(v, '\r') | simd::EqMask(v, '\0');
    if (stops) return i + static_cast<long>(simd::FirstBit(stops));
  }
#endif
  for (; i < size; ++i)
    if (IsLineStop(text[i])) return i;
  return size;
}

}  // namespace cwbase_internal
