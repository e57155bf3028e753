// What the wide kernels (AVX2, AVX-512) make of a window of 64 bytes of
// UTF-8 once its bytes are classified: the longest start of it made of whole,
// well-formed characters, and where those characters start. Shared so that
// every level takes exactly the same windows.
//
// Contract
// - The masks have a bit per byte of the window: nonAscii for 0x80 and
//   above, and for each c of 0xC0, 0xE0, 0xF0, 0xF8 the bytes from 0x80 up
//   to below c (belowC0 is every continuation byte).
// - Taken: ASCII, C0-DF with one continuation byte, E0-EF with two, and with
//   allowFour F0-F7 with three. The window ends before its last character
//   start unless that is ASCII; bytes == 0 when no whole character is
//   there or anything before the end is not well formed.
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernels.h"

namespace cwbase_internal {

struct Utf8Window {
  size_t bytes;       // the window's length: whole characters only (0: none)
  uint64_t starts;    // a bit for each character start before `bytes`
  uint64_t nonAscii;  // a bit for each byte of 0x80 or above (all 64 bytes)
  bool four;          // some character has four bytes
};

// What an XML reader must look at before it may take a window whole:
// `refused` has a bit for each byte that starts something XML forbids or
// spells differently (a control other than tab, LF and a CR before LF; a
// lone CR, which becomes LF; among the bytes of 0x80 and above, the forms
// the C library refuses, characters above U+10FFFF, U+FFFE and U+FFFF);
// `crlf` a bit for each CR before LF, which the reader drops.
struct XmlMarks {
  uint64_t refused, crlf;
};

__attribute__((always_inline)) inline Utf8Window ClassifyUtf8Window(
    uint64_t nonAscii, uint64_t belowC0, uint64_t belowE0, uint64_t belowF0, uint64_t belowF8,
    bool allowFour) {
  constexpr uint64_t kAll = ~uint64_t{0};
  if (nonAscii == 0) return {kUtf8Window, kAll, 0, false};
  const uint64_t cont = belowC0;
  const uint64_t lead2 = belowE0 & ~cont, lead3 = belowF0 & ~belowE0;
  uint64_t lead4 = belowF8 & ~belowF0, bad = nonAscii & ~belowF8;
  if (!allowFour) bad |= lead4, lead4 = 0;
  const uint64_t starts = ~cont;
  if (starts == 0) return {0, 0, 0, false};
  // The last start ends the window unless it is ASCII (complete by itself).
  const unsigned last = simd::LastBit64(starts);
  const size_t bytes = static_cast<size_t>(last) + ((nonAscii >> last) & 1 ? 0 : 1);
  const uint64_t inside = bytes == 64 ? kAll : (uint64_t{1} << bytes) - 1;
  const uint64_t b2 = lead2 & inside, b3 = lead3 & inside, b4 = lead4 & inside;
  const uint64_t claimed = ((b2 | b3 | b4) << 1) | ((b3 | b4) << 2) | (b4 << 3);
  if (claimed != (cont & inside) || (bad & inside) != 0) return {0, 0, 0, false};
  return {bytes, starts & inside, nonAscii, b4 != 0};
}

}  // namespace cwbase_internal
