// The block kernels of the UTF-8 converters at the SSE2 level (the table
// kSse2Utf8Kernels of utf8_kernel_table.h).
//
// Little-endian only (x86): the staged UTF-8 words are stored as
// little-endian 32-bit values.
#include "cwbase/text/internal/utf8_kernel_table.h"

#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/text/internal/utf8_codec.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_SSE2)
namespace {

using simd::Vec;

// ---- UTF-8 side.
//
// ScanWindow finds the longest start of a window made of whole, well-formed
// characters and returns its length with a bit for each character start, or
// a length of 0 when there is none.
struct Window {
  size_t bytes;
  uint64_t starts;
  bool four;  // some character has four bytes
};

constexpr uint64_t kAll = ~uint64_t{0};

// A chunk's 16-bit mask placed at its bits of the window's 64-bit mask.
inline uint64_t Bits(unsigned mask, int chunk) {
  return static_cast<uint64_t>(mask) << (16 * chunk);
}

__attribute__((always_inline)) inline Window ScanWindow(const unsigned char* p, bool allowFour) {
  const Vec x0 = simd::Load16(p), x1 = simd::Load16(p + 16);
  const Vec x2 = simd::Load16(p + 32), x3 = simd::Load16(p + 48);
  // All ASCII: 64 characters of one byte.
  if (simd::HighMask(simd::Or(simd::Or(x0, x1), simd::Or(x2, x3))) == 0)
    return {kUtf8Window, kAll, false};
  const Vec chunks[4] = {x0, x1, x2, x3};
  uint64_t nonAscii = 0, cont = 0, belowE0 = 0, belowF0 = 0, belowF8 = 0;
  for (int c = 0; c < 4; ++c) {
    const Vec x = chunks[c];
    // Signed compares: bytes 0x80 and up are negative.
    nonAscii |= Bits(simd::HighMask(x), c);
    cont |= Bits(simd::LessMask(x, static_cast<char>(0xC0)), c);
    belowE0 |= Bits(simd::LessMask(x, static_cast<char>(0xE0)), c);
    belowF0 |= Bits(simd::LessMask(x, static_cast<char>(0xF0)), c);
    belowF8 |= Bits(simd::LessMask(x, static_cast<char>(0xF8)), c);
  }
  const uint64_t lead2 = belowE0 & ~cont, lead3 = belowF0 & ~belowE0;
  uint64_t lead4 = belowF8 & ~belowF0, bad = nonAscii & ~belowF8;
  if (!allowFour) bad |= lead4, lead4 = 0;
  const uint64_t starts = ~cont;
  if (starts == 0) return {0, 0, false};
  // The last start ends the window unless it is ASCII (complete by itself).
  const unsigned last = simd::LastBit64(starts);
  const size_t bytes = static_cast<size_t>(last) + ((nonAscii >> last) & 1 ? 0 : 1);
  const uint64_t below = bytes == 64 ? kAll : (uint64_t{1} << bytes) - 1;
  const uint64_t b2 = lead2 & below, b3 = lead3 & below, b4 = lead4 & below;
  const uint64_t claimed = ((b2 | b3 | b4) << 1) | ((b3 | b4) << 2) | (b4 << 3);
  if (claimed != (cont & below) || (bad & below) != 0) return {0, 0, false};
  return {bytes, starts & below, b4 != 0};
}

// By the top four bits of a lead: how far to shift the 4-byte value right,
// and which bits of the lead to keep (ASCII keeps 7, since the value of a
// one-byte character is the byte).
constexpr unsigned char kWindowShift[16] = {18, 18, 18, 18, 18, 18, 18, 18,
                                            0,  0,  0,  0,  12, 12, 6,  0};
constexpr unsigned char kWindowLeadMask[16] = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                                               0,    0,    0,    0,    0x1F, 0x1F, 0x0F, 0x07};
// The smallest value the C library accepts for each length (no overlongs).
constexpr uint32_t kWindowMin[16] = {0, 0, 0, 0, 0,    0,    0,     0,
                                     0, 0, 0, 0, 0x80, 0x80, 0x800, 0x10000};

// The value of the well-formed character at q (4 bytes readable).
inline uint32_t WindowValue(const unsigned char* q) {
  const unsigned k = q[0] >> 4;
  uint32_t v = (static_cast<uint32_t>(q[0] & kWindowLeadMask[k]) << 18) | ((q[1] & 0x3Fu) << 12) |
               ((q[2] & 0x3Fu) << 6) | (q[3] & 0x3Fu);
  return v >> kWindowShift[k];
}

// For each set of character starts among 8 bytes: the positions of the starts
// in order (the rest 0), and how many there are.
struct CompactTable {
  unsigned char index[256][8];
  unsigned char count[256];
};
constexpr CompactTable MakeCompactTable() {
  CompactTable t{};
  for (int mask = 0; mask < 256; ++mask) {
    int k = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (mask & (1 << bit)) t.index[mask][k++] = static_cast<unsigned char>(bit);
    t.count[mask] = static_cast<unsigned char>(k);
  }
  return t;
}
constexpr CompactTable kCompact = MakeCompactTable();

// The characters of a window without four-byte characters, into dst; returns
// their count. For every byte of each 16-byte chunk the value of a character
// of its lead's length starting there is computed in 16-bit lanes (a
// character below 0x10000 needs at most the two bytes after it); the values at
// the character starts are then picked out. With `check`, *refused is set when
// a character is one the C library refuses (an overlong form or a surrogate);
// the values are then meaningless. dst needs room for kUtf8Window + 8 units:
// up to 7 past the last character are written with meaningless values.
template <bool check>
inline size_t DecodeWindowBmp(const unsigned char* src, uint64_t starts, wchar_t* dst,
                              bool* refused) {
  const Vec six = simd::Splat16(0x3F);
  size_t k = 0;
  uint32_t refusedBits = 0;
  for (int c = 0; c < 4; ++c) {
    uint32_t m = static_cast<uint32_t>(starts >> (16 * c)) & 0xFFFF;
    if (!m) continue;
    const unsigned char* p = src + 16 * c;
    const Vec x0 = simd::Load16(p);
    if (m == 0xFFFF && simd::HighMask(x0) == 0) {  // 16 ASCII bytes
      simd::Widen16(x0, dst + k);
      k += 16;
      continue;
    }
    const Vec x1 = simd::Load16(p + 1), x2 = simd::Load16(p + 2);
    if (check) {
      // Leads the C library refuses here: C0 and C1 (overlong two-byte
      // forms), E0 before 80-9F (overlong three-byte forms), ED before A0-BF
      // (surrogates).
      const Vec lowNext = simd::LessBytes(x1, static_cast<char>(0xA0));
      const Vec c0c1 = simd::EqBytes(simd::And(x0, simd::Splat8(static_cast<char>(0xFE))),
                                     static_cast<char>(0xC0));
      const Vec e0 = simd::And(simd::EqBytes(x0, static_cast<char>(0xE0)), lowNext);
      const Vec ed = simd::AndNot(lowNext, simd::EqBytes(x0, static_cast<char>(0xED)));
      refusedBits |= simd::HighMask(simd::Or(c0c1, simd::Or(e0, ed))) & m;
    }
    alignas(16) uint32_t values[16];
    for (int half = 0; half < 2; ++half) {
      const Vec b0 = half ? simd::WidenHigh8(x0) : simd::WidenLow8(x0);
      const Vec b1 = simd::And(half ? simd::WidenHigh8(x1) : simd::WidenLow8(x1), six);
      const Vec b2 = simd::And(half ? simd::WidenHigh8(x2) : simd::WidenLow8(x2), six);
      const Vec two = simd::Or(simd::ShiftLeft16<6>(simd::And(b0, simd::Splat16(0x1F))), b1);
      const Vec three = simd::Or(simd::ShiftLeft16<12>(b0), simd::Or(simd::ShiftLeft16<6>(b1), b2));
      const Vec is2 = simd::Greater16(b0, 0xBF);
      const Vec is3 = simd::Greater16(b0, 0xDF);
      const Vec only2 = simd::AndNot(is3, is2);
      const Vec v =
          simd::Or(simd::AndNot(is2, b0), simd::Or(simd::And(only2, two), simd::And(is3, three)));
      simd::StoreAligned4(simd::WidenLow16(v), values + 8 * half);
      simd::StoreAligned4(simd::WidenHigh16(v), values + 8 * half + 4);
    }
    // The values at the starts, eight positions at a time: all eight are
    // copied into the stage, and the count keeps those that are characters.
    for (int half = 0; half < 2; ++half) {
      const unsigned bits = (m >> (8 * half)) & 0xFF;
      const unsigned char* index = kCompact.index[bits];
      const uint32_t* v = values + 8 * half;
      for (int j = 0; j < 8; ++j)
        dst[k + static_cast<size_t>(j)] = static_cast<wchar_t>(v[index[j]]);
      k += kCompact.count[bits];
    }
  }
  if (check) *refused = refusedBits != 0;
  return k;
}

// Writes the characters of a scanned window (w.bytes > 0) to dst and returns
// how many it wrote. The three-byte path decodes into a stage first because it
// stores a little past its count.
__attribute__((always_inline)) inline size_t EmitWindow(const unsigned char* src, const Window& w,
                                                        wchar_t* dst) {
  if (w.bytes == kUtf8Window && w.starts == kAll) {
    WidenAsciiRun(src, kUtf8Window, dst);
    return kUtf8Window;
  }
  if (w.four) {
    size_t k = 0;
    for (uint64_t m = w.starts; m; m &= m - 1)
      dst[k++] = static_cast<wchar_t>(WindowValue(src + simd::FirstBit64(m)));
    return k;
  }
  wchar_t stage[kUtf8Window + 8];
  const size_t count = DecodeWindowBmp<false>(src, w.starts, stage, nullptr);
  std::memcpy(dst, stage, count * sizeof(wchar_t));
  return count;
}

// ---- Wide side.

// Room StageUtf8 needs: three bytes for every unit, and one spare byte for
// its 4-byte stores.
constexpr size_t kStageBytes = kUtf8Block * 3 + 1;

// The UTF-8 of 16 units below 0x10000 (of their low 16 bits when `low16`)
// into stage; returns the byte count. Units outside that range are flagged in
// *outside (nonzero), surrogates in *surrogate; their bytes are then
// meaningless and the caller drops the stage. Four units at a time get their
// three candidate encodings (little-endian words) and lengths without
// branches; the words are then laid end to end.
template <bool low16>
__attribute__((always_inline)) inline size_t StageUtf8(const wchar_t* src, unsigned char* stage,
                                                       uint32_t* outside, uint32_t* surrogate) {
  size_t o = 0;
  const Vec six = simd::Splat32(0x3F);
  Vec high = simd::Zero(), surr = simd::Zero();
  for (int c = 0; c < 4; ++c) {
    Vec v = simd::Load4(src + 4 * c);
    if (low16) v = simd::And(v, simd::Splat32(0xFFFF));
    high = simd::Or(high, simd::ShiftRight32<16>(v));
    surr = simd::Or(surr, simd::Eq32(simd::And(v, simd::Splat32(0xF800)), 0xD800));
    const Vec low = simd::And(v, six);
    const Vec mid = simd::And(simd::ShiftRight32<6>(v), six);
    const Vec two = simd::Or(simd::Splat32(0x80C0),
                             simd::Or(simd::ShiftRight32<6>(v), simd::ShiftLeft32<8>(low)));
    const Vec three = simd::Or(simd::Or(simd::Splat32(0x8080E0),
                                        simd::And(simd::ShiftRight32<12>(v), simd::Splat32(0x0F))),
                               simd::Or(simd::ShiftLeft32<8>(mid), simd::ShiftLeft32<16>(low)));
    const Vec atLeast2 = simd::Greater32(v, 0x7F);
    const Vec atLeast3 = simd::Greater32(v, 0x7FF);
    const Vec word = simd::Or(
        simd::AndNot(atLeast2, v),
        simd::Or(simd::And(simd::AndNot(atLeast3, atLeast2), two), simd::And(atLeast3, three)));
    const Vec len = simd::Sub32(simd::Sub32(simd::Splat32(1), atLeast2), atLeast3);
    alignas(16) uint32_t words[4], lens[4];
    simd::StoreAligned4(word, words);
    simd::StoreAligned4(len, lens);
    for (int j = 0; j < 4; ++j) {
      std::memcpy(stage + o, &words[j], 4);
      o += lens[j];
    }
  }
  alignas(16) uint32_t h[4], g[4];
  simd::StoreAligned4(high, h);
  simd::StoreAligned4(surr, g);
  *outside = h[0] | h[1] | h[2] | h[3];
  *surrogate = g[0] | g[1] | g[2] | g[3];
  return o;
}

size_t CountWindows(const unsigned char* src, size_t n, size_t* count) {
  size_t i = 0;
  while (i + kUtf8WindowReadable <= n) {
    const Window w = ScanWindow(src + i, false);
    if (!w.bytes) break;
    *count += w.starts == kAll ? kUtf8Window : simd::BitCount64(w.starts);
    i += w.bytes;
  }
  return i;
}

template <bool allowFour>
size_t DecodeWindows(const unsigned char* src, size_t n, wchar_t* dst, size_t* written) {
  size_t i = 0, o = 0;
  while (i + kUtf8WindowReadable <= n) {
    const Window w = ScanWindow(src + i, allowFour);
    if (!w.bytes) break;
    o += EmitWindow(src + i, w, dst + o);
    i += w.bytes;
  }
  *written = o;
  return i;
}

// Writes nothing past the characters, so it needs no room.
size_t Decode(const unsigned char* src, size_t n, bool allowFour, wchar_t* dst, size_t /*room*/,
              size_t* written) {
  return allowFour ? DecodeWindows<true>(src, n, dst, written)
                   : DecodeWindows<false>(src, n, dst, written);
}

size_t DecodeStrict(const unsigned char* src, size_t n, bool utf8, wchar_t* dst, size_t room,
                    size_t* written) {
  size_t i = 0, o = 0;
  while (i + kUtf8WindowReadable <= n && room - o >= kUtf8Window) {
    // Mostly ASCII text: sixteen bytes at a time, and where a few bytes of
    // sixteen are not ASCII, the ASCII before the first of them and its
    // character on their own; text denser in such characters goes by
    // windows.
    const Vec x = simd::Load16(src + i), x1 = simd::Load16(src + i + 16);
    const Vec x2 = simd::Load16(src + i + 32), x3 = simd::Load16(src + i + 48);
    if (simd::HighMask(simd::Or(simd::Or(x, x1), simd::Or(x2, x3))) == 0) {
      simd::Widen16(x, dst + o);
      simd::Widen16(x1, dst + o + 16);
      simd::Widen16(x2, dst + o + 32);
      simd::Widen16(x3, dst + o + 48);
      i += 64, o += 64;
      continue;
    }
    const unsigned high = simd::HighMask(x);
    if (high == 0) {
      simd::Widen16(x, dst + o);
      i += 16, o += 16;
      continue;
    }
    if (utf8 && simd::BitCount(high) <= 4) {
      const size_t k = WidenAsciiRun(src + i, simd::FirstBit(high), dst + o);
      i += k, o += k;
      // The character there when it is one the C library takes, of two to
      // four bytes (four readable bytes make the longer forms fail).
      uint32_t v;
      const size_t len = DecodeUtf8Char<Utf8Rules::kCLibrary>(src + i, 4, &v);
      if (len == 0) break;  // the caller's rules decide
      dst[o++] = static_cast<wchar_t>(v);
      i += len;
      continue;
    }
    const Window w = ScanWindow(src + i, utf8);
    if (w.bytes == kUtf8Window && w.starts == kAll) {
      WidenAsciiRun(src + i, kUtf8Window, dst + o);
      i += kUtf8Window, o += kUtf8Window;
      continue;
    }
    if (w.bytes == 0 || !utf8) break;
    wchar_t stage[kUtf8Window + 8];
    size_t count = 0;
    bool refused = false;
    if (!w.four) {
      count = DecodeWindowBmp<true>(src + i, w.starts, stage, &refused);
    } else {
      for (uint64_t m = w.starts; m; m &= m - 1) {
        const unsigned char* q = src + i + simd::FirstBit64(m);
        const uint32_t v = WindowValue(q);
        refused |= v < kWindowMin[q[0] >> 4];
        refused |= (v & 0xFFFFF800) == 0xD800;
        stage[count++] = static_cast<wchar_t>(v);
      }
    }
    if (refused) break;
    std::memcpy(dst + o, stage, count * sizeof(wchar_t));
    i += w.bytes, o += count;
  }
  *written = o;
  return i;
}

template <Utf8Blocks mode>
size_t EncodeBlocks(const wchar_t* src, size_t n, unsigned char* dst, size_t room,
                    size_t* written) {
  size_t i = 0, o = 0;
  while (i + kUtf8Block <= n) {
    if (room - o >= kUtf8Block && simd::NarrowAscii16(src + i, reinterpret_cast<char*>(dst + o))) {
      i += kUtf8Block, o += kUtf8Block;
      continue;
    }
    if (mode == Utf8Blocks::kAscii) break;
    unsigned char stage[kStageBytes];
    uint32_t outside, surrogate;
    const size_t len = StageUtf8<mode == Utf8Blocks::kLow16>(src + i, stage, &outside, &surrogate);
    // The low 16 bits of a unit are never outside (the check is left out).
    const bool refused =
        (mode != Utf8Blocks::kLow16 && outside) || (mode == Utf8Blocks::kStrict && surrogate);
    if (refused || len > room - o) break;
    std::memcpy(dst + o, stage, len);
    i += kUtf8Block, o += len;
  }
  *written = o;
  return i;
}

}  // namespace

const Utf8KernelTable kSse2Utf8Kernels = {
    CountWindows,
    Decode,
    DecodeStrict,
    {EncodeBlocks<Utf8Blocks::kLow16>, EncodeBlocks<Utf8Blocks::kWStr>,
     EncodeBlocks<Utf8Blocks::kStrict>, EncodeBlocks<Utf8Blocks::kAscii>},
    nullptr,
    nullptr};

#endif  // CWBASE_SIMD_SSE2

}  // namespace cwbase_internal
