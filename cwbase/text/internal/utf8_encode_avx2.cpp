// The wide side of the UTF-8 converters' block kernels at the AVX2 level:
// eight units at a time get their UTF-8 (one to four bytes, little-endian in
// a 32-bit lane) and length, and each group of four is laid end to end with
// one byte shuffle; and the narrowing of the 8-bit XML writer. Compiled for
// the baseline; each function carries CWBASE_AVX2 and runs only when the
// active level is kAvx2 (through kAvx2Utf8Kernels, utf8_kernel_table.h).
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

struct EncodeTables {
  // For each 8-bit set: the same bits spread to the even bits of 16.
  uint16_t spread[256];
  // For the lengths of four characters (2 bits each, length - 1): the byte
  // shuffle that lays their UTF-8 end to end, and the total length.
  unsigned char shuffle[256][16];
  unsigned char length[256];
};

constexpr EncodeTables MakeEncodeTables() {
  EncodeTables t{};
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

constexpr EncodeTables kEncodeTables = MakeEncodeTables();

// The UTF-8 of eight units: each unit's bytes in a 32-bit lane (lead in the
// low byte) and, for each half of four units, the code of their lengths
// (kEncodeTables.shuffle, kEncodeTables.length). Sets *refused when the mode does not
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
  const unsigned code =
      kEncodeTables.spread[m2 ^ m3 ^ m4] | static_cast<unsigned>(kEncodeTables.spread[m3]) << 1;
  const unsigned lo = code & 0xFF, hi = code >> 8;
  return {word, lo, hi, size_t{kEncodeTables.length[lo]} + kEncodeTables.length[hi]};
}

// Lays the bytes of u end to end at out; writes 16 bytes from each half's
// start, so up to 12 bytes past u.bytes are meaningless.
CWBASE_AVX2_INLINE void StoreUtf8(const Utf8Lanes& u, unsigned char* out) {
  avx2::ShuffleStore(u.word, kEncodeTables.shuffle[u.lo], kEncodeTables.shuffle[u.hi], out,
                     out + kEncodeTables.length[u.lo]);
}

// Blocks of 16 units. A block's bytes go straight to dst when the 16 bytes
// after them lie within the room: what those hold is read first, and put
// back when the kernel stops there (a block taken next writes at least 16
// bytes over them). Otherwise they are laid out in a stage and copied.
template <Utf8Blocks mode>
CWBASE_AVX2_INLINE size_t EncodeBlocks(const wchar_t* src, size_t n, unsigned char* dst,
                                       size_t room, size_t* written) {
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

// Eight units as themselves where they lie in 0-0x7F, as `marks` elsewhere.
CWBASE_AVX2_INLINE Vec256 AsciiOr8(const wchar_t* p, Vec256 marks) {
  using namespace avx2;
  const Vec256 v = LoadUnits8(p);
  return Select(Eq32(And(v, Splat32(~0x7F)), 0), marks, v);
}

}  // namespace

CWBASE_AVX2 size_t Avx2NarrowOr(const wchar_t* src, size_t n, char mark, char* dst) {
  const Vec256 marks = avx2::Splat32(static_cast<unsigned char>(mark));
  size_t i = 0;
  for (; i + 16 <= n; i += 16)
    avx2::StoreNarrow16(AsciiOr8(src + i, marks), AsciiOr8(src + i + 8, marks),
                        reinterpret_cast<unsigned char*>(dst + i));
  return i;
}

template <Utf8Blocks mode>
CWBASE_AVX2 size_t Avx2Encode(const wchar_t* src, size_t n, unsigned char* dst, size_t room,
                              size_t* written) {
  return EncodeBlocks<mode>(src, n, dst, room, written);
}
template size_t Avx2Encode<Utf8Blocks::kLow16>(const wchar_t*, size_t, unsigned char*, size_t,
                                               size_t*);
template size_t Avx2Encode<Utf8Blocks::kWStr>(const wchar_t*, size_t, unsigned char*, size_t,
                                              size_t*);
template size_t Avx2Encode<Utf8Blocks::kStrict>(const wchar_t*, size_t, unsigned char*, size_t,
                                                size_t*);
template size_t Avx2Encode<Utf8Blocks::kAscii>(const wchar_t*, size_t, unsigned char*, size_t,
                                               size_t*);

#endif  // CWBASE_SIMD_AVX2

}  // namespace cwbase_internal
