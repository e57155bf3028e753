// Text helpers of the standard parser, which rewrites the document's text in
// place: moving decoded units back over what was read, owned copies for
// the tree, and the space normalisation of tokenized attribute values.
//
// Contract
// - XmlMoveUnits (SSE2 builds): moves n units (at most 16; the 16 units at
//   r may be read) from r back to w (w <= r) and advances both. The units
//   are read whole before any is written, since the ranges overlap.
// - XmlOwnCopy: a zero-terminated copy of [s, s + n), allocated with new[]
//   (for an own-flag of 1); null when memory runs out.
// - XmlCollapseSpaces: drops leading and trailing spaces (#x20 only) of the
//   zero-terminated s and collapses runs of them to one, in place.
// Threads: re-entrant.
#pragma once

#include <cstddef>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_SSE2)
// A whole block goes through registers, a part through a copy of the
// block, in fixed-size pieces that stay inline.
inline void XmlMoveUnits(wchar_t*& w, wchar_t*& r, unsigned n) {
  if (w != r && n == 16) {
    const simd::Vec a = simd::Load4(r), b = simd::Load4(r + 4);
    const simd::Vec c = simd::Load4(r + 8), d = simd::Load4(r + 12);
    simd::Store4(w, a);
    simd::Store4(w + 4, b);
    simd::Store4(w + 8, c);
    simd::Store4(w + 12, d);
  } else if (w != r) {
    wchar_t block[16];
    std::memcpy(block, r, sizeof block);
    if (n >= 8) {
      std::memcpy(w, block, 8 * sizeof(wchar_t));
      std::memcpy(w + n - 8, block + n - 8, 8 * sizeof(wchar_t));
    } else if (n >= 4) {
      std::memcpy(w, block, 4 * sizeof(wchar_t));
      std::memcpy(w + n - 4, block + n - 4, 4 * sizeof(wchar_t));
    } else {
      for (unsigned i = 0; i < n; ++i) w[i] = block[i];
    }
  }
  w += n, r += n;
}
#endif

wchar_t* XmlOwnCopy(const wchar_t* s, size_t n);

void XmlCollapseSpaces(wchar_t* s);

}  // namespace cwbase_internal
