// The block kernels of the UTF-8 converters at the AVX-512 level (the
// tables kAvx512Utf8Kernels and kAvx512Vbmi2Utf8Kernels of
// utf8_kernel_table.h). Compiled for the baseline; each function carries
// CWBASE_AVX512 (or CWBASE_AVX512_VBMI2) and runs only when the active level
// is kAvx512.
//
// UTF-8 side: a window of 64 bytes is one vector, classified with one
// compare per byte class (the same windows as at AVX2: utf8_window.h), then
// decoded sixteen bytes at a time: each position gets the value of a
// character of its lead's length starting there, in 32-bit lanes, and the
// values at the character starts are compressed to the front and stored
// with a mask (masked stores are cheap here, so nothing past the characters
// is ever written).
//
// Wide side, with VBMI2: sixteen units at a time get their UTF-8 in 32-bit
// lanes (lead in the low byte), and the bytes each lane uses are compressed
// to the front in one step. Without VBMI2 the AVX2 encoder does that part.
// The 8-bit XML writer's narrowing takes sixteen units at a time.
//
// Little-endian only (x86).
#include <cstdint>

#include "cwbase/core/internal/simd.h"
#include "cwbase/text/internal/utf8_kernel_table.h"
#include "cwbase/text/internal/utf8_window.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_AVX2)
namespace {

using avx512::Vec512;

// ---- UTF-8 side.

// The longest start of the 64 bytes at p made of whole, well-formed
// characters (utf8_window.h). Signed compares: the bytes 0x80 and up below c.
CWBASE_AVX512_INLINE Utf8Window ScanWindow(const unsigned char* p, bool allowFour) {
  using namespace avx512;
  const Vec512 x = Load64(p);
  const uint64_t nonAscii = HighMask(x);
  if (nonAscii == 0) return ClassifyUtf8Window(0, 0, 0, 0, 0, allowFour);
  return ClassifyUtf8Window(
      nonAscii, LessMask(x, static_cast<char>(0xC0)), LessMask(x, static_cast<char>(0xE0)),
      LessMask(x, static_cast<char>(0xF0)), LessMask(x, static_cast<char>(0xF8)), allowFour);
}

// By the top four bits of a lead (0-7: ASCII, 8-11: no lead, C-D, E, F):
// how far the four bytes' 21 payload bits are shifted right to give the
// value, and the bits the value keeps.
alignas(64) constexpr uint32_t kValueShift[16] = {18, 18, 18, 18, 18, 18, 18, 18,
                                                  0,  0,  0,  0,  12, 12, 6,  0};
alignas(64) constexpr uint32_t kValueKeep[16] = {
    0x7F, 0x7F, 0x7F, 0x7F, 0x7F,  0x7F,  0x7F,   0x7F,  //
    0,    0,    0,    0,    0x7FF, 0x7FF, 0xFFFF, 0x1FFFFF};

// The value of a character of its lead's length starting at each of the
// sixteen bytes at p (meaningless where p holds a continuation byte); reads
// p[0] to p[18].
CWBASE_AVX512_INLINE Vec512 Values16(const unsigned char* p) {
  using namespace avx512;
  const Vec512 six = Splat32(0x3F);
  const Vec512 b0 = WidenBytes16(p);
  const Vec512 c1 = And(WidenBytes16(p + 1), six), c2 = And(WidenBytes16(p + 2), six);
  const Vec512 c3 = And(WidenBytes16(p + 3), six);
  const Vec512 all = Or(Or(ShiftLeft32<18>(b0), ShiftLeft32<12>(c1)), Or(ShiftLeft32<6>(c2), c3));
  const Vec512 lead = ShiftRight32<4>(b0);
  return And(ShiftRightEach32(all, PickLanes(LoadLanes(kValueShift), lead)),
             PickLanes(LoadLanes(kValueKeep), lead));
}

// Bits of the 64 bytes at p that lead a form the C library refuses although
// it is well formed (reads p[0] to p[64]): C0 and C1 (overlong two-byte
// forms), E0 before 80-9F and F0 before 80-8F (overlong three- and four-byte
// forms), ED before A0-BF (surrogates). Signed compares, as in ScanWindow.
CWBASE_AVX512_INLINE uint64_t RefusedLeads(const unsigned char* p) {
  using namespace avx512;
  const Vec512 x = Load64(p), next = Load64(p + 1);
  const uint64_t belowA0 = LessMask(next, static_cast<char>(0xA0));
  const uint64_t c0c1 = EqMask(And(x, Splat8(static_cast<char>(0xFE))), static_cast<char>(0xC0));
  const uint64_t e0 = EqMask(x, static_cast<char>(0xE0)) & belowA0;
  const uint64_t ed = EqMask(x, static_cast<char>(0xED)) & ~belowA0;
  const uint64_t f0 = EqMask(x, static_cast<char>(0xF0)) & LessMask(next, static_cast<char>(0x90));
  return c0c1 | e0 | ed | f0;
}

// Writes decoded windows one after another at dst. Every store is masked to
// the characters, so the room the caller names is never exceeded.
class WindowWriter {
 public:
  CWBASE_AVX512_INLINE WindowWriter(wchar_t* dst, size_t room) : m_Dst(dst), m_Room(room) {}
  CWBASE_AVX512_INLINE size_t Units() const { return m_O; }
  CWBASE_AVX512_INLINE size_t Room() const { return m_Room - m_O; }
  CWBASE_AVX512_INLINE void Ascii(const unsigned char* src) {
    for (unsigned g = 0; g < 4; ++g)
      avx512::StoreUnits16(m_Dst + m_O + 16 * g, avx512::WidenBytes16(src + 16 * g));
    m_O += kUtf8Window;
  }
  CWBASE_AVX512_INLINE void Decoded(const unsigned char* src, const Utf8Window& w) {
    for (unsigned g = 0; g < 4; ++g) {
      const auto m = static_cast<unsigned>(w.starts >> (16 * g)) & 0xFFFF;
      const unsigned count = simd::BitCount(m);
      avx512::StoreFirstUnits(m_Dst + m_O, count, avx512::CompressLanes(m, Values16(src + 16 * g)));
      m_O += count;
    }
  }
  CWBASE_AVX512_INLINE void Finish() {}

 private:
  wchar_t* m_Dst;
  size_t m_Room;
  size_t m_O = 0;
};

// ---- XML side.

// What an XML reader must look at before it may take a window whole
// (utf8_window.h); reads p[0] to p[65].
CWBASE_AVX512_INLINE XmlMarks MarkXml(const unsigned char* p, uint64_t nonAscii) {
  using namespace avx512;
  const Vec512 x = Load64(p), next = Load64(p + 1);
  // Signed compare: the bytes 0x80 and up are below 0x20 too (cleared below).
  const uint64_t low = LessMask(x, 0x20) & ~nonAscii;
  uint64_t refused = 0, crlf = 0;
  if (low != 0) {
    crlf = EqMask(x, '\r') & EqMask(next, '\n');
    refused = low & ~(EqMask(x, '\t') | EqMask(x, '\n') | crlf);
  }
  if (nonAscii == 0) return {refused, crlf};
  const Vec512 after = Load64(p + 2);
  // F4 before 90-BF and F5-F7: above U+10FFFF (signed compares: F5-F7 are
  // the bytes from -11 to -9).
  const uint64_t f4 = EqMask(x, static_cast<char>(0xF4)) & ~LessMask(next, static_cast<char>(0x90));
  const uint64_t f5 = LessMask(x, static_cast<char>(0xF8)) & ~LessMask(x, static_cast<char>(0xF5));
  // EF BF BE and EF BF BF: U+FFFE and U+FFFF.
  const uint64_t noChar =
      EqMask(x, static_cast<char>(0xEF)) & EqMask(next, static_cast<char>(0xBF)) &
      EqMask(And(after, Splat8(static_cast<char>(0xFE))), static_cast<char>(0xBE));
  return {refused | RefusedLeads(p) | f4 | f5 | noChar, crlf};
}

#define CWBASE_WINDOW_LEVEL CWBASE_AVX512
#include "cwbase/text/internal/utf8_window_loops.inc"
#undef CWBASE_WINDOW_LEVEL

// ---- Wide side.

// The UTF-8 of sixteen units laid end to end at out (written: its length),
// when the mode takes every unit and the bytes fit in `room`; otherwise
// false, and nothing is written.
template <Utf8Blocks mode>
CWBASE_AVX512_VBMI2_INLINE bool EncodeBlock(Vec512 v, unsigned char* out, size_t room,
                                            size_t* written) {
  using namespace avx512;
  if (mode == Utf8Blocks::kLow16) v = And(v, Splat32(0xFFFF));
  if (mode == Utf8Blocks::kStrict) {
    // Negative units, units above 0x10FFFF and surrogates are the C
    // library's to judge.
    if ((EqMask32(And(v, Splat32(static_cast<int32_t>(0xFFFFF800))), 0xD800) |
         AnyBitsMask32(v, INT32_MIN) | GreaterMask32(v, 0x10FFFF)) != 0)
      return false;
  }
  const Vec512 six = Splat32(0x3F);
  const Vec512 c0 = And(v, six), c1 = And(ShiftRight32<6>(v), six);
  const Vec512 c2 = And(ShiftRight32<12>(v), six);
  const Vec512 w1 = And(v, Splat32(0xFF));  // a negative unit keeps its low eight bits
  const Vec512 w2 = Or(Splat32(0x80C0), Or(ShiftRight32<6>(v), ShiftLeft32<8>(c0)));
  const Vec512 w3 =
      Or(Or(Splat32(0x8080E0), ShiftRight32<12>(v)), Or(ShiftLeft32<8>(c1), ShiftLeft32<16>(c0)));
  const Vec512 w4 = Or(Or(Splat32(static_cast<int32_t>(0x808080F0)), ShiftRight32<18>(v)),
                       Or(ShiftLeft32<8>(c2), Or(ShiftLeft32<16>(c1), ShiftLeft32<24>(c0))));
  unsigned ge2 = GreaterMask32(v, 0x7F), ge3 = GreaterMask32(v, 0x7FF);
  unsigned ge4 = GreaterMask32(v, 0xFFFF);
  Vec512 word = Select(ge4, Select(ge3, Select(ge2, w1, w2), w3), w4);
  if (mode == Utf8Blocks::kWStr) {
    // Above 0x10FFFF: the one byte '?'.
    const unsigned over = GreaterMask32(v, 0x10FFFF);
    word = Select(over, word, Splat32('?'));
    ge2 &= ~over, ge3 &= ~over, ge4 &= ~over;
  }
  // The bytes each lane uses: its first, and one more for each bound passed.
  const uint64_t keep = 0x1111111111111111u | Deposit64(ge2, 0x2222222222222222u) |
                        Deposit64(ge3, 0x4444444444444444u) | Deposit64(ge4, 0x8888888888888888u);
  const unsigned len = simd::BitCount64(keep);
  if (len > room) return false;
  // Sixteen four-byte characters are laid out already. (Skipping the
  // compression there also keeps the kernel testable under Bochs 2.7, whose
  // byte compression loses the result when all 64 bytes are selected.)
  StoreFirstBytes(out, len, len == 64 ? word : CompressBytes(keep, word));
  *written = len;
  return true;
}

template <Utf8Blocks mode>
CWBASE_AVX512_VBMI2 size_t EncodeVbmi2(const wchar_t* src, size_t n, unsigned char* dst,
                                       size_t room, size_t* written) {
  using namespace avx512;
  size_t i = 0, o = 0;
  for (; i + kUtf8Block <= n; i += kUtf8Block) {
    const Vec512 v = LoadUnits16(src + i);
    if (AnyBitsMask32(v, ~0x7F) == 0) {
      if (room - o < kUtf8Block) break;
      StoreLowBytes16(dst + o, v);
      o += kUtf8Block;
      continue;
    }
    if (mode == Utf8Blocks::kAscii) break;
    size_t len = 0;
    if (!EncodeBlock<mode>(v, dst + o, room - o, &len)) break;
    o += len;
  }
  *written = o;
  return i;
}

CWBASE_AVX512 size_t NarrowOr(const wchar_t* src, size_t n, char mark, char* dst) {
  using namespace avx512;
  const Vec512 marks = Splat32(static_cast<unsigned char>(mark));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const Vec512 v = LoadUnits16(src + i);
    StoreLowBytes16(reinterpret_cast<unsigned char*>(dst + i),
                    Select(AnyBitsMask32(v, ~0x7F), v, marks));
  }
  return i;
}

}  // namespace

const Utf8KernelTable kAvx512Utf8Kernels = {
    CountWindows,
    Decode,
    DecodeStrict,
    {Avx2Encode<Utf8Blocks::kLow16>, Avx2Encode<Utf8Blocks::kWStr>, Avx2Encode<Utf8Blocks::kStrict>,
     Avx2Encode<Utf8Blocks::kAscii>},
    DecodeXml,
    NarrowOr};

const Utf8KernelTable kAvx512Vbmi2Utf8Kernels = {
    CountWindows,
    Decode,
    DecodeStrict,
    {EncodeVbmi2<Utf8Blocks::kLow16>, EncodeVbmi2<Utf8Blocks::kWStr>,
     EncodeVbmi2<Utf8Blocks::kStrict>, EncodeVbmi2<Utf8Blocks::kAscii>},
    DecodeXml,
    NarrowOr};

#endif  // CWBASE_SIMD_AVX2

}  // namespace cwbase_internal
