// The block kernels of the UTF-8 converters at the AVX2 level (the table
// kAvx2Utf8Kernels of utf8_kernel_table.h), UTF-8 side; the wide side is in
// utf8_encode_avx2.cpp. Compiled for the baseline; each function carries
// CWBASE_AVX2 and runs only when the active level is kAvx2.
//
// A window of 64 bytes is checked at once for whole, well-formed characters
// (two 32-byte compares per byte class), then decoded eight bytes at a
// time: each of the eight positions gets the value of a character of its
// lead's length starting there (one to four bytes, in 32-bit lanes), and the
// values at the character starts are packed to the front with one lane
// permute.
//
// Little-endian only (x86).
#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernel_table.h"
#include "cwbase/text/internal/utf8_window.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_AVX2)
namespace {

using avx2::Vec256;

// ---- Tables.

struct Tables {
  // For each set of character starts among 8 bytes: their positions in
  // order (the rest 0), as 32-bit lane numbers and as the byte pairs of
  // 16-bit lanes (the rest 0x80: zero).
  uint32_t pick[256][8];
  unsigned char pick16[256][16];
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
  return t;
}

constexpr Tables kTables = MakeTables();

// ---- UTF-8 side.

using Window = Utf8Window;

// Bits of the 64 bytes of x0 and x1 below c (0x80 or above), compared as
// signed bytes: the bytes 0x80 and up below c.
CWBASE_AVX2_INLINE uint64_t Below(Vec256 x0, Vec256 x1, unsigned char c) {
  return avx2::LessMask(x0, static_cast<char>(c)) |
         uint64_t{avx2::LessMask(x1, static_cast<char>(c))} << 32;
}

// The longest start of the 64 bytes at p made of whole, well-formed
// characters (utf8_window.h).
CWBASE_AVX2_INLINE Window ScanWindow(const unsigned char* p, bool allowFour) {
  const Vec256 x0 = avx2::Load32(p), x1 = avx2::Load32(p + 32);
  const uint64_t nonAscii = avx2::HighMask(x0) | uint64_t{avx2::HighMask(x1)} << 32;
  if (nonAscii == 0) return ClassifyUtf8Window(0, 0, 0, 0, 0, allowFour);
  return ClassifyUtf8Window(nonAscii, Below(x0, x1, 0xC0), Below(x0, x1, 0xE0), Below(x0, x1, 0xF0),
                            Below(x0, x1, 0xF8), allowFour);
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
    k += simd::BitCount(m);
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
    const unsigned low = simd::BitCount(m & 0xFF);
    const Vec256 halves[2] = {WidenLowHalf16(v), WidenHighHalf16(v)};
    const unsigned counts[2] = {low, simd::BitCount(m) - low};
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

// The bytes after the lead b of a character of more bytes.
CWBASE_AVX2_INLINE unsigned ContinuationBytes(unsigned char b) {
  return b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
}

// DecodeWindow for a window of 64 bytes whose characters are ASCII but one
// (at `at`, with `extra` bytes after its lead), `total` characters in all:
// the window widened whole, the character's value put in its place and the
// ASCII after it widened again, `extra` places on. Writes up to seven units
// past the characters; reads src[0] to src[71].
CWBASE_AVX2_INLINE size_t DecodeWindowOne(const unsigned char* src, unsigned at, unsigned extra,
                                          size_t total, wchar_t* dst) {
  WidenWindow(src, dst);
  const unsigned char* p = src + at;
  uint32_t value = p[0] & (0x7Fu >> (extra + 1));
  for (unsigned k = 1; k <= extra; ++k) value = value << 6 | (p[k] & 0x3Fu);
  dst[at] = static_cast<wchar_t>(value);
  for (size_t k = at + 1; k < total; k += 8)
    avx2::StoreUnits8(dst + k, avx2::WidenBytes8(src + k + extra));
  return total;
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
      m_Spilled = true;
      // One character of more bytes among ASCII, every byte but its own
      // continuation bytes a character (no CR dropped): a cheaper path.
      const uint64_t leads = w.nonAscii & w.starts;
      if (leads != 0 && (leads & (leads - 1)) == 0) {
        const unsigned at = simd::FirstBit64(leads);
        const unsigned extra = ContinuationBytes(src[at]);
        if (total + extra == kUtf8Window) {
          m_O += DecodeWindowOne(src, at, extra, total, out);
          return;
        }
      }
      m_O += w.four ? DecodeWindow<true>(src, w, out) : DecodeWindowBmp<true>(src, w, out);
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

// ---- XML side.

// What an XML reader must look at before it may take a window whole
// (utf8_window.h); reads p[0] to p[65].
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

#define CWBASE_WINDOW_LEVEL CWBASE_AVX2
#include "cwbase/text/internal/utf8_window_loops.inc"
#undef CWBASE_WINDOW_LEVEL

}  // namespace

const Utf8KernelTable kAvx2Utf8Kernels = {
    CountWindows,
    Decode,
    DecodeStrict,
    {Avx2Encode<Utf8Blocks::kLow16>, Avx2Encode<Utf8Blocks::kWStr>, Avx2Encode<Utf8Blocks::kStrict>,
     Avx2Encode<Utf8Blocks::kAscii>},
    DecodeXml,
    Avx2NarrowOr};

#endif  // CWBASE_SIMD_AVX2

}  // namespace cwbase_internal
