// The block kernels of the UTF-8 converters at the AVX2 level (the table
// kAvx2Utf8Kernels of utf8_kernel_table.h). Compiled for the baseline; each
// function carries CWBASE_AVX2 and runs only when the active level is kAvx2.
//
// UTF-8 side: a window of 64 bytes is checked at once for whole, well-formed
// characters (two 32-byte compares per byte class), then decoded eight bytes
// at a time: each of the eight positions gets the value of a character of
// its lead's length starting there (one to four bytes, in 32-bit lanes), and
// the values at the character starts are packed to the front with one lane
// permute. Wide side: eight units at a time get their UTF-8 (one to four
// bytes, little-endian in a 32-bit lane) and length, and each group of four
// is laid end to end with one byte shuffle.
//
// Little-endian only (x86).
#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernel_table.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_AVX2)
namespace {

using avx2::Vec256;

// The helpers of the kernels below, always inlined into them (a 256-bit
// value passed between functions costs more than the work).
#define CWBASE_AVX2_INLINE CWBASE_AVX2 __attribute__((always_inline)) inline

// ---- Tables.

struct Tables {
  // For each set of character starts among 8 bytes: their positions in
  // order (the rest 0), as 32-bit lane numbers and as the byte pairs of
  // 16-bit lanes (the rest 0x80: zero).
  uint32_t pick[256][8];
  unsigned char pick16[256][16];
  // For each 8-bit set: the same bits spread to the even bits of 16.
  uint16_t spread[256];
  // For the lengths of four characters (2 bits each, length - 1): the byte
  // shuffle that lays their UTF-8 end to end, and the total length.
  unsigned char shuffle[256][16];
  unsigned char length[256];
};

constexpr Tables MakeTables() {
  Tables t{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned k = 0;
    for (unsigned bit = 0; bit < 8; ++bit)
      if (mask & (1u << bit)) {
        t.pick16[mask][2 * k] = static_cast<unsigned char>(2 * bit);
        t.pick16[mask][2 * k + 1] = static_cast<unsigned char>(2 * bit + 1);
        t.pick[mask][k++] = bit;
      }
    for (unsigned j = 2 * k; j < 16; ++j) t.pick16[mask][j] = 0x80;
  }
  for (unsigned bits = 0; bits < 256; ++bits)
    for (unsigned j = 0; j < 8; ++j)
      if (bits & (1u << j)) t.spread[bits] = static_cast<uint16_t>(t.spread[bits] | 1u << 2 * j);
  for (unsigned code = 0; code < 256; ++code) {
    unsigned o = 0;
    for (unsigned j = 0; j < 4; ++j)
      for (unsigned b = 0; b <= ((code >> (2 * j)) & 3); ++b)
        t.shuffle[code][o++] = static_cast<unsigned char>(4 * j + b);
    t.length[code] = static_cast<unsigned char>(o);
    for (; o < 16; ++o) t.shuffle[code][o] = 0x80;
  }
  return t;
}

constexpr Tables kTables = MakeTables();

// ---- UTF-8 side.

constexpr uint64_t kAll = ~uint64_t{0};

struct Window {
  size_t bytes;       // the window's length: whole characters only (0: none)
  uint64_t starts;    // a bit for each character start before `bytes`
  uint64_t nonAscii;  // a bit for each byte of 0x80 or above (all 64 bytes)
  bool four;          // some character has four bytes
};

// Bits of the 64 bytes of x0 and x1 below c (0x80 or above), compared as
// signed bytes: the bytes 0x80 and up below c.
CWBASE_AVX2_INLINE uint64_t Below(Vec256 x0, Vec256 x1, unsigned char c) {
  return avx2::LessMask(x0, static_cast<char>(c)) |
         uint64_t{avx2::LessMask(x1, static_cast<char>(c))} << 32;
}

// The longest start of the 64 bytes at p made of whole, well-formed
// characters (ASCII, C0-DF with one continuation byte, E0-EF with two, and
// with allowFour F0-F7 with three).
CWBASE_AVX2_INLINE Window ScanWindow(const unsigned char* p, bool allowFour) {
  const Vec256 x0 = avx2::Load32(p), x1 = avx2::Load32(p + 32);
  const uint64_t nonAscii = avx2::HighMask(x0) | uint64_t{avx2::HighMask(x1)} << 32;
  if (nonAscii == 0) return {kUtf8Window, kAll, 0, false};
  const uint64_t cont = Below(x0, x1, 0xC0), belowE0 = Below(x0, x1, 0xE0);
  const uint64_t belowF0 = Below(x0, x1, 0xF0), belowF8 = Below(x0, x1, 0xF8);
  const uint64_t lead2 = belowE0 & ~cont, lead3 = belowF0 & ~belowE0;
  uint64_t lead4 = belowF8 & ~belowF0, bad = nonAscii & ~belowF8;
  if (!allowFour) bad |= lead4, lead4 = 0;
  const uint64_t starts = ~cont;
  if (starts == 0) return {0, 0, 0, false};
  // The last start ends the window unless it is ASCII (complete by itself).
  const unsigned last = 63u - static_cast<unsigned>(__builtin_clzll(starts));
  const size_t bytes = static_cast<size_t>(last) + ((nonAscii >> last) & 1 ? 0 : 1);
  const uint64_t inside = bytes == 64 ? kAll : (uint64_t{1} << bytes) - 1;
  const uint64_t b2 = lead2 & inside, b3 = lead3 & inside, b4 = lead4 & inside;
  const uint64_t claimed = ((b2 | b3 | b4) << 1) | ((b3 | b4) << 2) | (b4 << 3);
  if (claimed != (cont & inside) || (bad & inside) != 0) return {0, 0, 0, false};
  return {bytes, starts & inside, nonAscii, b4 != 0};
}

// By the top four bits of a lead (0-7: ASCII, 8-11: no lead, C-D, E, F):
// how far the four bytes' 21 payload bits are shifted right to give the
// value, and how far 0x1FFFFF is shifted right to keep the value's bits.
constexpr unsigned char kValueShift[16] = {18, 18, 18, 18, 18, 18, 18, 18,
                                           0,  0,  0,  0,  12, 12, 6,  0};
constexpr unsigned char kKeepShift[16] = {14, 14, 14, 14, 14, 14, 14, 14, 0, 0, 0, 0, 10, 10, 5, 0};

// The value of a character of its lead's length starting at each of the
// eight bytes at p (meaningless where p holds a continuation byte); reads
// p[0] to p[10].
CWBASE_AVX2_INLINE Vec256 Values8(const unsigned char* p) {
  using namespace avx2;
  const Vec256 six = Splat32(0x3F);
  const Vec256 b0 = WidenBytes8(p);
  const Vec256 c1 = And(WidenBytes8(p + 1), six), c2 = And(WidenBytes8(p + 2), six);
  const Vec256 c3 = And(WidenBytes8(p + 3), six);
  const Vec256 all = Or(Or(ShiftLeft32<18>(b0), ShiftLeft32<12>(c1)), Or(ShiftLeft32<6>(c2), c3));
  // The lead's class in the low byte of each lane; the other bytes look up
  // nothing (top bit set).
  const Vec256 lead = Or(ShiftRight32<4>(b0), Splat32(static_cast<int32_t>(0x80808000)));
  const Vec256 keep = ShiftRightEach32(Splat32(0x1FFFFF), Lookup(Table16(kKeepShift), lead));
  return And(ShiftRightEach32(all, Lookup(Table16(kValueShift), lead)), keep);
}

// Bits of the 64 bytes at p that lead a form the C library refuses although
// it is well formed (reads p[0] to p[64]): C0 and C1 (overlong two-byte
// forms), E0 before 80-9F and F0 before 80-8F (overlong three- and four-byte
// forms), ED before A0-BF (surrogates).
CWBASE_AVX2_INLINE uint64_t RefusedLeads(const unsigned char* p) {
  using namespace avx2;
  uint64_t bits = 0;
  for (unsigned h = 0; h < 2; ++h) {
    const Vec256 x = Load32(p + 32 * h), next = Load32(p + 32 * h + 1);
    const Vec256 belowA0 = LessBytes(next, static_cast<char>(0xA0));
    const Vec256 c0c1 = EqBytes(And(x, Splat8(static_cast<char>(0xFE))), static_cast<char>(0xC0));
    const Vec256 e0 = And(EqBytes(x, static_cast<char>(0xE0)), belowA0);
    const Vec256 ed = AndNot(belowA0, EqBytes(x, static_cast<char>(0xED)));
    const Vec256 f0 =
        And(EqBytes(x, static_cast<char>(0xF0)), LessBytes(next, static_cast<char>(0x90)));
    bits |= uint64_t{HighMask(Or(Or(c0c1, e0), Or(ed, f0)))} << (32 * h);
  }
  return bits;
}

// Writes the characters of a scanned window (w.bytes > 0) to dst and returns
// their count. With `whole`, every store writes eight units, so up to seven
// units after the characters are overwritten (WindowWriter puts them back);
// without it, dst[count] and on are not touched. Every group of eight bytes
// takes the same path, whatever it holds, so that mixed text costs no
// mispredicted branches (a path that only widens the groups of ASCII where
// a window holds few other bytes measured slower, on mixed text and on
// text with 1 % of such characters alike).
template <bool whole>
CWBASE_AVX2_INLINE size_t DecodeWindow(const unsigned char* src, const Window& w, wchar_t* dst) {
  const size_t total = avx2::BitCount64(w.starts);
  size_t k = 0;
  for (unsigned g = 0; g < 8; ++g) {
    const auto m = static_cast<unsigned>(w.starts >> (8 * g)) & 0xFF;
    const Vec256 v = avx2::PickLanes(Values8(src + 8 * g), avx2::LoadLanes(kTables.pick[m]));
    // A store of all eight lanes is overwritten by the characters that
    // follow, unless these are the last ones.
    if (whole || k + 8 <= total)
      avx2::StoreUnits8(dst + k, v);
    else
      avx2::MaskStoreUnits8(dst + k, avx2::FirstLanes(static_cast<unsigned>(total - k)), v);
    k += static_cast<unsigned>(__builtin_popcount(m));
  }
  return k;
}

// DecodeWindow for a window without four-byte characters: sixteen bytes at
// a time in 16-bit lanes (a character below 0x10000 needs at most the two
// bytes after its lead), the values at the starts packed to the front of
// each half with one byte shuffle, then widened to units. Reads src[0] to
// src[65].
template <bool whole>
CWBASE_AVX2_INLINE size_t DecodeWindowBmp(const unsigned char* src, const Window& w, wchar_t* dst) {
  using namespace avx2;
  const size_t total = BitCount64(w.starts);
  const Vec256 six = Splat16(0x3F);
  size_t k = 0;
  for (unsigned c = 0; c < 4; ++c) {
    const unsigned char* p = src + 16 * c;
    const auto m = static_cast<unsigned>(w.starts >> (16 * c)) & 0xFFFF;
    const Vec256 b0 = WidenBytes16(p);
    const Vec256 c1 = And(WidenBytes16(p + 1), six), c2 = And(WidenBytes16(p + 2), six);
    const Vec256 two = Or(ShiftLeft16<6>(And(b0, Splat16(0x1F))), c1);
    const Vec256 three = Or(ShiftLeft16<12>(b0), Or(ShiftLeft16<6>(c1), c2));
    const Vec256 is2 = Greater16(b0, 0xBF), is3 = Greater16(b0, 0xDF);
    const Vec256 v = ShuffleHalves(Select(is3, Select(is2, b0, two), three),
                                   kTables.pick16[m & 0xFF], kTables.pick16[m >> 8]);
    const unsigned low = static_cast<unsigned>(__builtin_popcount(m & 0xFF));
    const Vec256 halves[2] = {WidenLowHalf16(v), WidenHighHalf16(v)};
    const unsigned counts[2] = {low, static_cast<unsigned>(__builtin_popcount(m)) - low};
    for (unsigned h = 0; h < 2; ++h) {
      // As in DecodeWindow: whole stores but for the last characters.
      if (whole || k + 8 <= total)
        StoreUnits8(dst + k, halves[h]);
      else
        MaskStoreUnits8(dst + k, FirstLanes(static_cast<unsigned>(total - k)), halves[h]);
      k += counts[h];
    }
  }
  return k;
}

// The 64 ASCII bytes at src widened to dst.
CWBASE_AVX2_INLINE void WidenWindow(const unsigned char* src, wchar_t* dst) {
  for (unsigned g = 0; g < 8; ++g) avx2::StoreUnits8(dst + 8 * g, avx2::WidenBytes8(src + 8 * g));
}

// Writes decoded windows one after another at dst, `room` units in all.
// Stores of eight whole units are much cheaper than masked ones, so a
// window whose last store may spill writes whole ones when the room allows:
// the eight units after its characters are read first and put back when
// nothing follows (Finish), or before a window written without spilling. A
// window written whole has eight characters or more, so it covers the
// spill of the one before, as an ASCII window does.
class WindowWriter {
 public:
  CWBASE_AVX2_INLINE WindowWriter(wchar_t* dst, size_t room) : m_Dst(dst), m_Room(room) {}
  CWBASE_AVX2_INLINE size_t Units() const { return m_O; }
  CWBASE_AVX2_INLINE size_t Room() const { return m_Room - m_O; }
  CWBASE_AVX2_INLINE void Ascii(const unsigned char* src) {
    WidenWindow(src, m_Dst + m_O);
    m_O += kUtf8Window, m_Spilled = false;
  }
  CWBASE_AVX2_INLINE void Decoded(const unsigned char* src, const Window& w) {
    wchar_t* const out = m_Dst + m_O;
    const size_t total = avx2::BitCount64(w.starts);
    if (total >= 8 && m_Room - m_O >= total + 8) {
      m_Kept = avx2::LoadUnits8(out + total);
      m_O += w.four ? DecodeWindow<true>(src, w, out) : DecodeWindowBmp<true>(src, w, out);
      m_Spilled = true;
      return;
    }
    Finish();
    m_O += w.four ? DecodeWindow<false>(src, w, out) : DecodeWindowBmp<false>(src, w, out);
  }
  // Puts back what the last window's stores spilled over.
  CWBASE_AVX2_INLINE void Finish() {
    if (m_Spilled) avx2::StoreUnits8(m_Dst + m_O, m_Kept);
    m_Spilled = false;
  }

 private:
  wchar_t* m_Dst;
  size_t m_Room;
  size_t m_O = 0;
  Vec256 m_Kept{};
  bool m_Spilled = false;
};

CWBASE_AVX2 size_t CountWindows(const unsigned char* src, size_t n, size_t* count) {
  size_t i = 0;
  while (i + kUtf8WindowReadable <= n) {
    const Window w = ScanWindow(src + i, false);
    if (!w.bytes) break;
    *count += avx2::BitCount64(w.starts);
    i += w.bytes;
  }
  return i;
}

CWBASE_AVX2 size_t Decode(const unsigned char* src, size_t n, bool allowFour, wchar_t* dst,
                          size_t room, size_t* written) {
  size_t i = 0;
  WindowWriter out(dst, room);
  while (i + kUtf8WindowReadable <= n) {
    const Window w = ScanWindow(src + i, allowFour);
    if (!w.bytes) break;
    if (w.nonAscii == 0) {
      out.Ascii(src + i);
      i += kUtf8Window;
      continue;
    }
    out.Decoded(src + i, w);
    i += w.bytes;
  }
  out.Finish();
  *written = out.Units();
  return i;
}

CWBASE_AVX2 size_t DecodeStrict(const unsigned char* src, size_t n, bool utf8, wchar_t* dst,
                                size_t room, size_t* written) {
  size_t i = 0;
  WindowWriter out(dst, room);
  while (i + kUtf8WindowReadable <= n && out.Room() >= kUtf8Window) {
    const Window w = ScanWindow(src + i, utf8);
    if (w.bytes == 0 || (!utf8 && w.nonAscii != 0)) break;
    if (w.nonAscii == 0) {
      out.Ascii(src + i);
      i += kUtf8Window;
      continue;
    }
    if (RefusedLeads(src + i) & w.starts) break;
    out.Decoded(src + i, w);
    i += w.bytes;
  }
  out.Finish();
  *written = out.Units();
  return i;
}

// ---- XML side.

// What an XML reader must look at before it may take a window whole (reads
// p[0] to p[65]): `refused` has a bit for each byte that starts something
// XML forbids or spells differently (a control other than tab, LF and a CR
// before LF; a lone CR, which becomes LF; with `nonAscii`, the forms the C
// library refuses, characters above U+10FFFF, U+FFFE and U+FFFF); `crlf` a
// bit for each CR before LF, which the reader drops.
struct XmlMarks {
  uint64_t refused, crlf;
};

CWBASE_AVX2_INLINE XmlMarks MarkXml(const unsigned char* p, uint64_t nonAscii) {
  using namespace avx2;
  uint64_t refused = 0, crlf = 0;
  for (unsigned h = 0; h < 2; ++h) {
    const Vec256 x = Load32(p + 32 * h), next = Load32(p + 32 * h + 1);
    // Signed compare: the bytes 0x80 and up are below 0x20 too (cleared below).
    const uint32_t low = LessMask(x, 0x20);
    if (low == 0) continue;
    const uint32_t pair = HighMask(And(EqBytes(x, '\r'), EqBytes(next, '\n')));
    const uint32_t allowed = HighMask(Or(EqBytes(x, '\t'), EqBytes(x, '\n'))) | pair;
    refused |= uint64_t{low & ~allowed} << (32 * h);
    crlf |= uint64_t{pair} << (32 * h);
  }
  refused &= ~nonAscii;
  if (nonAscii == 0) return {refused, crlf};
  refused |= RefusedLeads(p);
  for (unsigned h = 0; h < 2; ++h) {
    const Vec256 x = Load32(p + 32 * h), next = Load32(p + 32 * h + 1);
    const Vec256 after = Load32(p + 32 * h + 2);
    // F4 before 90-BF and F5-F7: above U+10FFFF (signed compares: F5-F7 are
    // the bytes from -11 to -9).
    const Vec256 f4 =
        AndNot(LessBytes(next, static_cast<char>(0x90)), EqBytes(x, static_cast<char>(0xF4)));
    const Vec256 f5 =
        AndNot(LessBytes(x, static_cast<char>(0xF5)), LessBytes(x, static_cast<char>(0xF8)));
    // EF BF BE and EF BF BF: U+FFFE and U+FFFF.
    const Vec256 noChar =
        And(And(EqBytes(x, static_cast<char>(0xEF)), EqBytes(next, static_cast<char>(0xBF))),
            EqBytes(And(after, Splat8(static_cast<char>(0xFE))), static_cast<char>(0xBE)));
    refused |= uint64_t{HighMask(Or(Or(f4, f5), noChar))} << (32 * h);
  }
  return {refused, crlf};
}

constexpr unsigned kXmlSparse = 4;

CWBASE_AVX2 size_t DecodeXml(const unsigned char* src, size_t n, wchar_t* dst, size_t room,
                             size_t* written) {
  size_t i = 0;
  WindowWriter out(dst, room);
  while (i + kUtf8WindowReadable <= n) {
    Window w = ScanWindow(src + i, true);
    if (!w.bytes) break;
    const XmlMarks m = MarkXml(src + i, w.nonAscii);
    if (m.refused & w.starts) break;
    if ((w.nonAscii | m.crlf) == 0) {
      out.Ascii(src + i);
      i += kUtf8Window;
      continue;
    }
    // A window with only a few characters of more than one byte or CR LF
    // pairs is left to the caller, whose ASCII runs are faster there.
    if (avx2::BitCount64((w.nonAscii & w.starts) | m.crlf) <= kXmlSparse) break;
    // A CR before LF is no character start: the LF stands for both.
    w.starts &= ~m.crlf;
    out.Decoded(src + i, w);
    i += w.bytes;
  }
  out.Finish();
  *written = out.Units();
  return i;
}

// ---- Wide side.

// The UTF-8 of eight units: each unit's bytes in a 32-bit lane (lead in the
// low byte) and, for each half of four units, the code of their lengths
// (kTables.shuffle, kTables.length). Sets *refused when the mode does not
// take one of the units (the rest is then meaningless).
struct Utf8Lanes {
  Vec256 word;
  unsigned lo, hi;
  size_t bytes;
};

// `bmp`: every unit of the block is 0-0xFFFF (after kLow16's cut), so none
// takes four bytes or lies above 0x10FFFF.
template <Utf8Blocks mode, bool bmp>
CWBASE_AVX2_INLINE Utf8Lanes Utf8Of8(Vec256 v, bool* refused) {
  using namespace avx2;
  if (mode == Utf8Blocks::kLow16) v = And(v, Splat32(0xFFFF));
  const Vec256 six = Splat32(0x3F);
  const Vec256 c0 = And(v, six), c1 = And(ShiftRight32<6>(v), six);
  const Vec256 w1 = And(v, Splat32(0xFF));  // a negative unit keeps its low eight bits
  const Vec256 w2 = Or(Splat32(0x80C0), Or(ShiftRight32<6>(v), ShiftLeft32<8>(c0)));
  const Vec256 w3 =
      Or(Or(Splat32(0x8080E0), ShiftRight32<12>(v)), Or(ShiftLeft32<8>(c1), ShiftLeft32<16>(c0)));
  Vec256 ge2 = Greater32(v, 0x7F), ge3 = Greater32(v, 0x7FF);
  Vec256 word = Select(ge3, Select(ge2, w1, w2), w3);
  unsigned m4 = 0;
  if (!bmp) {
    const Vec256 c2 = And(ShiftRight32<12>(v), six);
    const Vec256 w4 = Or(Or(Splat32(static_cast<int32_t>(0x808080F0)), ShiftRight32<18>(v)),
                         Or(ShiftLeft32<8>(c2), Or(ShiftLeft32<16>(c1), ShiftLeft32<24>(c0))));
    Vec256 ge4 = Greater32(v, 0xFFFF);
    word = Select(ge4, word, w4);
    if (mode == Utf8Blocks::kWStr) {
      // Above 0x10FFFF: the one byte '?'.
      const Vec256 over = Greater32(v, 0x10FFFF);
      word = Select(over, word, Splat32('?'));
      ge2 = AndNot(over, ge2), ge3 = AndNot(over, ge3), ge4 = AndNot(over, ge4);
    }
    m4 = LaneMask(ge4);
  }
  if (mode == Utf8Blocks::kStrict) {
    // Negative units, units above 0x10FFFF and surrogates are the C
    // library's to judge.
    Vec256 odd = Eq32(And(v, Splat32(static_cast<int32_t>(0xFFFFF800))), 0xD800);
    if (!bmp) odd = Or(odd, Or(Greater32(Splat32(0), v), Greater32(v, 0x10FFFF)));
    if (!AllZero(odd)) *refused = true;
  }
  // Each lane's length less one, two bits per lane: the low bit where it
  // takes two or four bytes, the high bit where it takes three or four.
  const unsigned m2 = LaneMask(ge2), m3 = LaneMask(ge3);
  const unsigned code = kTables.spread[m2 ^ m3 ^ m4] | static_cast<unsigned>(kTables.spread[m3])
                                                           << 1;
  const unsigned lo = code & 0xFF, hi = code >> 8;
  return {word, lo, hi, size_t{kTables.length[lo]} + kTables.length[hi]};
}

// Lays the bytes of u end to end at out; writes 16 bytes from each half's
// start, so up to 12 bytes past u.bytes are meaningless.
CWBASE_AVX2_INLINE void StoreUtf8(const Utf8Lanes& u, unsigned char* out) {
  avx2::ShuffleStore(u.word, kTables.shuffle[u.lo], kTables.shuffle[u.hi], out,
                     out + kTables.length[u.lo]);
}

// Blocks of 16 units. A block's bytes go straight to dst when the 16 bytes
// after them lie within the room: what those hold is read first, and put
// back when the kernel stops there (a block taken next writes at least 16
// bytes over them). Otherwise they are laid out in a stage and copied.
template <Utf8Blocks mode>
CWBASE_AVX2 size_t EncodeBlocks(const wchar_t* src, size_t n, unsigned char* dst, size_t room,
                                size_t* written) {
  size_t i = 0, o = 0;
  avx2::Vec128 kept{};
  bool restore = false;
  while (i + kUtf8Block <= n) {
    const Vec256 a = avx2::LoadUnits8(src + i), b = avx2::LoadUnits8(src + i + 8);
    if (avx2::AllZero(avx2::And(avx2::Or(a, b), avx2::Splat32(~0x7F)))) {
      if (room - o < kUtf8Block) break;
      avx2::StoreNarrow16(a, b, dst + o);
      i += kUtf8Block, o += kUtf8Block, restore = false;
      continue;
    }
    if (mode == Utf8Blocks::kAscii) break;
    bool refused = false;
    Utf8Lanes ua, ub;
    if (mode == Utf8Blocks::kLow16 ||
        avx2::AllZero(avx2::And(avx2::Or(a, b), avx2::Splat32(~0xFFFF)))) {
      ua = Utf8Of8<mode, true>(a, &refused), ub = Utf8Of8<mode, true>(b, &refused);
    } else {
      ua = Utf8Of8<mode, false>(a, &refused), ub = Utf8Of8<mode, false>(b, &refused);
    }
    const size_t len = ua.bytes + ub.bytes;
    if (refused || len > room - o) break;
    if (room - o - len >= 16) {
      kept = avx2::Load16(dst + o + len);
      StoreUtf8(ua, dst + o);
      StoreUtf8(ub, dst + o + ua.bytes);
      restore = true;
    } else {
      unsigned char stage[4 * kUtf8Block + 16];
      StoreUtf8(ua, stage);
      StoreUtf8(ub, stage + ua.bytes);
      std::memcpy(dst + o, stage, len);
      restore = false;
    }
    i += kUtf8Block, o += len;
  }
  if (restore) avx2::Store16(dst + o, kept);
  *written = o;
  return i;
}

// ---- Narrowing.

// Eight units as themselves where they lie in 0-0x7F, as `marks` elsewhere.
CWBASE_AVX2_INLINE Vec256 AsciiOr8(const wchar_t* p, Vec256 marks) {
  using namespace avx2;
  const Vec256 v = LoadUnits8(p);
  return Select(Eq32(And(v, Splat32(~0x7F)), 0), marks, v);
}

CWBASE_AVX2 size_t NarrowOr(const wchar_t* src, size_t n, char mark, char* dst) {
  const Vec256 marks = avx2::Splat32(static_cast<unsigned char>(mark));
  size_t i = 0;
  for (; i + 16 <= n; i += 16)
    avx2::StoreNarrow16(AsciiOr8(src + i, marks), AsciiOr8(src + i + 8, marks),
                        reinterpret_cast<unsigned char*>(dst + i));
  return i;
}

}  // namespace

#undef CWBASE_AVX2_INLINE

const Utf8KernelTable kAvx2Utf8Kernels = {
    CountWindows,
    Decode,
    DecodeStrict,
    {EncodeBlocks<Utf8Blocks::kLow16>, EncodeBlocks<Utf8Blocks::kWStr>,
     EncodeBlocks<Utf8Blocks::kStrict>, EncodeBlocks<Utf8Blocks::kAscii>},
    DecodeXml,
    NarrowOr};

#endif  // CWBASE_SIMD_AVX2

}  // namespace cwbase_internal
