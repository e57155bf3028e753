// Conversion between wide strings, UTF-8 and the locale's multibyte encoding.
//
// Every converter walks its input once (the make_ pair twice, by design) and
// works on blocks where it can: runs of ASCII 16 units or 64 bytes at a time;
// UTF-8 in windows of 64 bytes checked at once for whole, well-formed
// characters and decoded without branches; wide text 16 units at a time while
// they stay below 0x10000. Whatever a block does not take (malformed bytes,
// rare characters, the last few units, a destination about to fill) goes
// through the character rules one at a time, so each block gives exactly
// what those rules give. The Windows-style pair reproduces the C library's
// wcstombs/mbstowcs itself in UTF-8 and ASCII locales (their rules are
// written out below) and calls the C library in every other locale.
//
// Little-endian only where SSE2 is used (x86): the staged UTF-8 words are
// stored as little-endian 32-bit values.
#include "cwbase/text/encoding.h"

#include <langinfo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "cwbase/text/internal/codeset.h"

using cwbase_internal::Codeset;
using cwbase_internal::NarrowAsciiRun;
using cwbase_internal::WidenAsciiRun;

namespace {

bool IsContinuation(unsigned b) {
  return (b & 0xC0) == 0x80;
}

// Writes v (below 0x10000) as 1 to 3 UTF-8 bytes; returns the count.
inline size_t PutUtf8Bmp(unsigned v, unsigned char* o) {
  if (v < 0x80) {
    o[0] = static_cast<unsigned char>(v);
    return 1;
  }
  if (v < 0x800) {
    o[0] = static_cast<unsigned char>(0xC0 + (v >> 6));
    o[1] = static_cast<unsigned char>(0x80 + (v & 0x3F));
    return 2;
  }
  o[0] = static_cast<unsigned char>(0xE0 + (v >> 12));
  o[1] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
  o[2] = static_cast<unsigned char>(0x80 + (v & 0x3F));
  return 3;
}

// ---- Mixed text, UTF-8 side: windows of 64 bytes classified at once.
//
// A window is taken only from a character boundary. ScanWindow finds the
// longest start of it made of whole, well-formed characters (ASCII, a lead
// C0-DF and one continuation byte, E0-EF and two, F0-F7 and three when four
// are allowed; nothing else) and returns its length with a bit for each
// character start, or a length of 0 when there is none, leaving the bytes to
// the one-at-a-time rules. Every converter gives such characters the plain
// UTF-8 value, so the characters of a window are decoded without branches.
constexpr size_t kWindow = 64;
constexpr size_t kWindowReadable = kWindow + 4;  // the last start reads 3 more bytes

struct Window {
  size_t bytes;
  uint64_t starts;
  bool four;  // some character has four bytes
};

#if defined(CWBASE_SSE2)
inline uint64_t Bits(__m128i compared, int chunk) {
  return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(compared))) << (16 * chunk);
}

__attribute__((always_inline)) inline Window ScanWindow(const unsigned char* p, bool allowFour) {
  {  // All ASCII: 64 characters of one byte.
    const auto* q = reinterpret_cast<const __m128i*>(p);
    __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(q), _mm_loadu_si128(q + 1)),
                               _mm_or_si128(_mm_loadu_si128(q + 2), _mm_loadu_si128(q + 3)));
    if (_mm_movemask_epi8(any) == 0) return {kWindow, ~uint64_t{0}, false};
  }
  uint64_t nonAscii = 0, cont = 0, belowE0 = 0, belowF0 = 0, belowF8 = 0;
  for (int c = 0; c < 4; ++c) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * c));
    // Signed compares: bytes 0x80 and up are negative.
    nonAscii |= Bits(x, c);
    cont |= Bits(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xC0))), c);
    belowE0 |= Bits(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xE0))), c);
    belowF0 |= Bits(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xF0))), c);
    belowF8 |= Bits(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xF8))), c);
  }
  const uint64_t lead2 = belowE0 & ~cont, lead3 = belowF0 & ~belowE0;
  uint64_t lead4 = belowF8 & ~belowF0, bad = nonAscii & ~belowF8;
  if (!allowFour) bad |= lead4, lead4 = 0;
  const uint64_t starts = ~cont;
  if (starts == 0) return {0, 0, false};
  // The last start ends the window unless it is ASCII (complete by itself).
  const int last = 63 - __builtin_clzll(starts);
  const size_t bytes = static_cast<size_t>(last) + ((nonAscii >> last) & 1 ? 0 : 1);
  const uint64_t below = bytes == 64 ? ~uint64_t{0} : (uint64_t{1} << bytes) - 1;
  const uint64_t b2 = lead2 & below, b3 = lead3 & below, b4 = lead4 & below;
  const uint64_t claimed = ((b2 | b3 | b4) << 1) | ((b3 | b4) << 2) | (b4 << 3);
  if (claimed != (cont & below) || (bad & below) != 0) return {0, 0, false};
  return {bytes, starts & below, b4 != 0};
}

// The 64 ASCII bytes at src as units.
inline void WidenWindow(const unsigned char* src, wchar_t* dst) {
  WidenAsciiRun(src, kWindow, dst);
}
#else
inline Window ScanWindow(const unsigned char*, bool) {
  return {0, 0, false};
}
inline void WidenWindow(const unsigned char*, wchar_t*) {}
#endif

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

// Decodes the characters of a window at src into dst; returns their count.
inline size_t DecodeWindow(const unsigned char* src, const Window& w, wchar_t* dst) {
  size_t k = 0;
  for (uint64_t m = w.starts; m; m &= m - 1)
    dst[k++] = static_cast<wchar_t>(WindowValue(src + __builtin_ctzll(m)));
  return k;
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

#if defined(CWBASE_SSE2)
// The characters of a window without four-byte characters, into dst; returns
// their count. For every byte of each 16-byte chunk the value of a character
// of its lead's length starting there is computed in 16-bit lanes (a
// character below 0x10000 needs at most the two bytes after it); the values at
// the character starts are then picked out. With `check`, *refused is set when
// a character is one the C library refuses (an overlong form or a surrogate);
// the values are then meaningless. dst needs room for kWindow + 8 units: up
// to 7 past the last character are written with meaningless values.
template <bool check>
inline size_t DecodeWindowBmp(const unsigned char* src, uint64_t starts, wchar_t* dst,
                              bool* refused) {
  const __m128i zero = _mm_setzero_si128(), six = _mm_set1_epi16(0x3F);
  size_t k = 0;
  uint32_t refusedBits = 0;
  for (int c = 0; c < 4; ++c) {
    uint32_t m = static_cast<uint32_t>(starts >> (16 * c)) & 0xFFFF;
    if (!m) continue;
    const unsigned char* p = src + 16 * c;
    const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (m == 0xFFFF && _mm_movemask_epi8(x0) == 0) {  // 16 ASCII bytes
      WidenAsciiRun(p, 16, dst + k);
      k += 16;
      continue;
    }
    const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
    if (check) {
      // Leads the C library refuses here: C0 and C1 (overlong two-byte
      // forms), E0 before 80-9F (overlong three-byte forms), ED before A0-BF
      // (surrogates).
      const __m128i lowNext = _mm_cmplt_epi8(x1, _mm_set1_epi8(static_cast<char>(0xA0)));
      const __m128i c0c1 = _mm_cmpeq_epi8(_mm_and_si128(x0, _mm_set1_epi8(static_cast<char>(0xFE))),
                                          _mm_set1_epi8(static_cast<char>(0xC0)));
      const __m128i e0 =
          _mm_and_si128(_mm_cmpeq_epi8(x0, _mm_set1_epi8(static_cast<char>(0xE0))), lowNext);
      const __m128i ed =
          _mm_andnot_si128(lowNext, _mm_cmpeq_epi8(x0, _mm_set1_epi8(static_cast<char>(0xED))));
      refusedBits |=
          static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(c0c1, _mm_or_si128(e0, ed)))) & m;
    }
    alignas(16) uint32_t values[16];
    for (int half = 0; half < 2; ++half) {
      const __m128i b0 = half ? _mm_unpackhi_epi8(x0, zero) : _mm_unpacklo_epi8(x0, zero);
      const __m128i b1 =
          _mm_and_si128(half ? _mm_unpackhi_epi8(x1, zero) : _mm_unpacklo_epi8(x1, zero), six);
      const __m128i b2 =
          _mm_and_si128(half ? _mm_unpackhi_epi8(x2, zero) : _mm_unpacklo_epi8(x2, zero), six);
      const __m128i two =
          _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, _mm_set1_epi16(0x1F)), 6), b1);
      const __m128i three =
          _mm_or_si128(_mm_slli_epi16(b0, 12), _mm_or_si128(_mm_slli_epi16(b1, 6), b2));
      const __m128i is2 = _mm_cmpgt_epi16(b0, _mm_set1_epi16(0xBF));
      const __m128i is3 = _mm_cmpgt_epi16(b0, _mm_set1_epi16(0xDF));
      const __m128i only2 = _mm_andnot_si128(is3, is2);
      const __m128i v =
          _mm_or_si128(_mm_andnot_si128(is2, b0),
                       _mm_or_si128(_mm_and_si128(only2, two), _mm_and_si128(is3, three)));
      _mm_store_si128(reinterpret_cast<__m128i*>(values + 8 * half), _mm_unpacklo_epi16(v, zero));
      _mm_store_si128(reinterpret_cast<__m128i*>(values + 8 * half + 4),
                      _mm_unpackhi_epi16(v, zero));
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
#else
template <bool check>
inline size_t DecodeWindowBmp(const unsigned char*, uint64_t, wchar_t*, bool*) {
  return 0;
}
#endif

// Writes the characters of a scanned window (w.bytes > 0) to `dst`, each as
// the byte rules give it, and returns how many it wrote. The three-byte path
// decodes into a stage first because it stores a little past its count.
__attribute__((always_inline)) inline size_t EmitWindow(const unsigned char* src, const Window& w,
                                                        wchar_t* dst) {
  if (w.bytes == kWindow && w.starts == ~uint64_t{0}) {
    WidenWindow(src, dst);
    return kWindow;
  }
  if (w.four) return DecodeWindow(src, w, dst);
  wchar_t stage[kWindow + 8];
  size_t count = DecodeWindowBmp<false>(src, w.starts, stage, nullptr);
  std::memcpy(dst, stage, count * sizeof(wchar_t));
  return count;
}

// ---- Mixed text, wide side: 16 units at a time.

// True (and the 16 units narrowed into dst) when all 16 are ASCII.
inline bool NarrowAscii16(const wchar_t* src, char* dst) {
#if defined(CWBASE_SSE2)
  const __m128i* p = reinterpret_cast<const __m128i*>(src);
  __m128i a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
  __m128i c = _mm_loadu_si128(p + 2), d = _mm_loadu_si128(p + 3);
  __m128i any =
      _mm_and_si128(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)), _mm_set1_epi32(~0x7F));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(any, _mm_setzero_si128())) != 0xFFFF) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                   _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
  return true;
#else
  return NarrowAsciiRun(src, 16, dst) == 16;
#endif
}

// Room StageUtf8 needs: three bytes for every unit, and one spare byte for
// its 4-byte stores.
constexpr size_t kStageBytes = 16 * 3 + 1;

// The UTF-8 of 16 units below 0x10000 (of their low 16 bits when `low16`)
// into stage; returns the byte count. Units outside that range are flagged in
// *outside (nonzero), surrogates in *surrogate; their bytes are then
// meaningless and the caller drops the stage. With SSE2, four units at a time
// get their three candidate encodings (little-endian words) and lengths
// without branches; the words are then laid end to end.
template <bool low16>
inline size_t StageUtf8(const wchar_t* src, unsigned char* stage, uint32_t* outside,
                        uint32_t* surrogate) {
  size_t o = 0;
#if defined(CWBASE_SSE2)
  const __m128i six = _mm_set1_epi32(0x3F);
  __m128i high = _mm_setzero_si128(), surr = _mm_setzero_si128();
  for (int c = 0; c < 4; ++c) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * c));
    if (low16) v = _mm_and_si128(v, _mm_set1_epi32(0xFFFF));
    high = _mm_or_si128(high, _mm_srli_epi32(v, 16));
    surr = _mm_or_si128(
        surr, _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(0xF800)), _mm_set1_epi32(0xD800)));
    const __m128i low = _mm_and_si128(v, six);
    const __m128i mid = _mm_and_si128(_mm_srli_epi32(v, 6), six);
    const __m128i two = _mm_or_si128(_mm_set1_epi32(0x80C0),
                                     _mm_or_si128(_mm_srli_epi32(v, 6), _mm_slli_epi32(low, 8)));
    const __m128i three =
        _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0x8080E0),
                                  _mm_and_si128(_mm_srli_epi32(v, 12), _mm_set1_epi32(0x0F))),
                     _mm_or_si128(_mm_slli_epi32(mid, 8), _mm_slli_epi32(low, 16)));
    const __m128i atLeast2 = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7F));
    const __m128i atLeast3 = _mm_cmpgt_epi32(v, _mm_set1_epi32(0x7FF));
    const __m128i word =
        _mm_or_si128(_mm_andnot_si128(atLeast2, v),
                     _mm_or_si128(_mm_and_si128(_mm_andnot_si128(atLeast3, atLeast2), two),
                                  _mm_and_si128(atLeast3, three)));
    const __m128i len = _mm_sub_epi32(_mm_sub_epi32(_mm_set1_epi32(1), atLeast2), atLeast3);
    alignas(16) uint32_t words[4], lens[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(words), word);
    _mm_store_si128(reinterpret_cast<__m128i*>(lens), len);
    for (int j = 0; j < 4; ++j) {
      std::memcpy(stage + o, &words[j], 4);
      o += lens[j];
    }
  }
  alignas(16) uint32_t h[4], g[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(h), high);
  _mm_store_si128(reinterpret_cast<__m128i*>(g), surr);
  *outside = h[0] | h[1] | h[2] | h[3];
  *surrogate = g[0] | g[1] | g[2] | g[3];
#else
  uint32_t high = 0, surr = 0;
  for (int j = 0; j < 16; ++j) {
    uint32_t v = static_cast<uint32_t>(src[j]);
    if (low16) v &= 0xFFFF;
    high |= v >> 16;
    surr |= (v & 0xF800) == 0xD800;
    if (v < 0x10000) o += PutUtf8Bmp(v, stage + o);
  }
  *outside = high;
  *surrogate = surr;
#endif
  return o;
}

}  // namespace

// ---------------------------------------------------------------------------
// make_utf8_string / make_unicode_string

unsigned char* make_utf8_string(const wchar_t* source) {
  // First pass: the units up to the first one whose low 16 bits are zero, and
  // the bytes they need. It cannot look ahead (the text may end at a unit like
  // 0x10000 with nothing readable after it), so it goes unit by unit.
  size_t units = 0, size = 1;
  for (unsigned v; (v = static_cast<unsigned>(source[units]) & 0xFFFF) != 0; ++units)
    size += 1 + (v >= 0x80) + (v >= 0x800);
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  unsigned char* o = out;
  size_t i = 0;
  while (i + 16 <= units) {
    if (NarrowAscii16(source + i, reinterpret_cast<char*>(o))) {
      i += 16, o += 16;
      continue;
    }
    unsigned char stage[kStageBytes];
    uint32_t outside, surrogate;
    size_t len = StageUtf8<true>(source + i, stage, &outside, &surrogate);
    std::memcpy(o, stage, len);
    i += 16, o += len;
  }
  for (; i < units; ++i) o += PutUtf8Bmp(static_cast<unsigned>(source[i]) & 0xFFFF, o);
  *o = 0;
  return out;
}

namespace {

// Length of the character at s[i] for make_unicode_string (1 below 0x80, 3 for
// a lead with its top three bits set, 2 otherwise), cut short at the
// terminator s[n], so that both passes stop there.
inline size_t LeadLength(const unsigned char* s, size_t i, size_t n) {
  unsigned b = s[i];
  size_t len = b < 0x80 ? 1 : ((b & 0xE0) == 0xE0 ? 3 : 2);
  return len < n - i ? len : n - i;
}

}  // namespace

wchar_t* make_unicode_string(const unsigned char* source) {
  const size_t n = std::strlen(reinterpret_cast<const char*>(source));
  // Windows hold only plain UTF-8 of up to three bytes, where the division
  // into characters and the values are those of the rules below.
  size_t count = 0;
  for (size_t i = 0; i < n;) {
    if (i + kWindowReadable <= n) {
      Window w = ScanWindow(source + i, false);
      if (w.bytes) {
        count += w.starts == ~uint64_t{0} ? kWindow
                                          : static_cast<size_t>(__builtin_popcountll(w.starts));
        i += w.bytes;
        continue;
      }
    }
    for (size_t stop = i + kWindow; i < n && i < stop; ++count) i += LeadLength(source, i, n);
  }
  auto* out = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
  if (!out) return nullptr;
  wchar_t* o = out;
  for (size_t i = 0; i < n;) {
    if (i + kWindowReadable <= n) {
      Window w = ScanWindow(source + i, false);
      if (w.bytes) {
        o += EmitWindow(source + i, w, o);
        i += w.bytes;
        continue;
      }
    }
    for (size_t stop = i + kWindow; i < n && i < stop;) {
      const unsigned char* s = source + i;
      size_t len = LeadLength(source, i, n);
      unsigned b1 = len > 1 ? s[1] & 0x3Fu : 0, b2 = len > 2 ? s[2] & 0x3Fu : 0;
      unsigned v = s[0] < 0x80             ? s[0]
                   : (s[0] & 0xE0) == 0xE0 ? ((s[0] & 0x1Fu) << 12) + (b1 << 6) + b2
                                           : ((s[0] & 0x3Fu) << 6) + b1;
      *o++ = static_cast<wchar_t>(v);
      i += len;
    }
  }
  *o = 0;
  return out;
}

// ---------------------------------------------------------------------------
// Utf8toWStr / WstrtoUtf8

namespace {

// Utf8toWStr for a destination too small to be sure of holding the whole
// result: the byte-by-byte rules with a room check before every unit.
int Utf8toWStrBounded(wchar_t* dest, int destCapacity, const unsigned char* s, int sourceLength) {
  int written = 0;
  auto put = [&](unsigned v) {
    if (written >= destCapacity) return false;
    dest[written++] = static_cast<wchar_t>(v);
    return true;
  };
  int expected = 0;
  unsigned value = 0;
  for (int i = 0; i < sourceLength; ++i) {
    unsigned b = s[i];
    if (b < 0x80) {
      if (expected && !put('?')) return written;
      expected = 0;
      if (!put(b)) return written;
    } else if (b < 0xC0) {
      if (!expected) {
        if (!put('?')) return written;
      } else {
        value = (value << 6) + (b & 0x3F);
        if (--expected == 0 && !put(value)) return written;
      }
    } else if (b < 0xE0) {
      value = b & 0x1F;
      expected = 1;
    } else if (b < 0xF0) {
      value = b & 0x0F;
      expected = 2;
    } else if (b < 0xF8) {
      value = b & 0x07;
      expected = 3;
    } else {
      expected = 0;
      if (!put('?')) return written;
    }
  }
  if (expected) put('?');
  return written;
}

}  // namespace

int Utf8toWStr(wchar_t* dest, int destCapacity, char* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(source);
  // The output never has more units than the source has bytes.
  if (destCapacity < sourceLength) return Utf8toWStrBounded(dest, destCapacity, s, sourceLength);
  const auto n = static_cast<size_t>(sourceLength);
  wchar_t* o = dest;
  int expected = 0;  // continuation bytes still to come; 0: no sequence open
  unsigned value = 0;
  for (size_t i = 0; i < n;) {
    // From a character boundary, whole well-formed characters a window at a
    // time: each gives what the byte rules below give it.
    if (expected == 0 && i + kWindowReadable <= n) {
      Window w = ScanWindow(s + i, true);
      if (w.bytes) {
        o += EmitWindow(s + i, w, o);
        i += w.bytes;
        continue;
      }
    }
    // A window's worth of bytes by the rules: '?' for what cannot be decoded.
    for (size_t stop = i + kWindow; i < n && i < stop;) {
      const unsigned b = s[i++];
      if (b < 0x80) {
        if (expected) *o++ = '?';
        expected = 0;
        *o++ = static_cast<wchar_t>(b);
      } else if (b < 0xC0) {
        if (!expected) {
          *o++ = '?';
        } else {
          value = (value << 6) + (b & 0x3F);
          if (--expected == 0) *o++ = static_cast<wchar_t>(value);
        }
      } else if (b < 0xE0) {
        value = b & 0x1F;
        expected = 1;
      } else if (b < 0xF0) {
        value = b & 0x0F;
        expected = 2;
      } else if (b < 0xF8) {
        value = b & 0x07;
        expected = 3;
      } else {
        expected = 0;
        *o++ = '?';
      }
    }
  }
  if (expected) *o++ = '?';
  return static_cast<int>(o - dest);
}

int WstrtoUtf8(char* dest, int destCapacity, wchar_t* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  const auto n = static_cast<size_t>(sourceLength), cap = static_cast<size_t>(destCapacity);
  auto* out = reinterpret_cast<unsigned char*>(dest);
  size_t i = 0, o = 0;
  while (i < n) {
    // 16 units at a time while they are below 0x10000 and their bytes fit.
    while (i + 16 <= n) {
      if (cap - o >= 16 && NarrowAscii16(source + i, dest + o)) {
        i += 16, o += 16;
        continue;
      }
      unsigned char stage[kStageBytes];
      uint32_t outside, surrogate;
      size_t len = StageUtf8<false>(source + i, stage, &outside, &surrogate);
      if (outside || len > cap - o) break;
      std::memcpy(out + o, stage, len);
      i += 16, o += len;
    }
    // Then 16 units one at a time, compared as signed 32-bit values.
    for (size_t stop = i + 16; i < n && i < stop; ++i) {
      const int32_t v = source[i];  // NOLINT(bugprone-signed-char-misuse)
      unsigned char bytes[4];
      size_t len;
      if (v < 0x80) {  // negative units included: their low eight bits
        bytes[0] = static_cast<unsigned char>(v & 0xFF);
        len = 1;
      } else if (v < 0x10000) {
        len = PutUtf8Bmp(static_cast<unsigned>(v), bytes);
      } else if (v <= 0x10FFFF) {
        bytes[0] = static_cast<unsigned char>(0xF0 + (v >> 18));
        bytes[1] = static_cast<unsigned char>(0x80 + ((v >> 12) & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
        bytes[3] = static_cast<unsigned char>(0x80 + (v & 0x3F));
        len = 4;
      } else {
        bytes[0] = '?';
        len = 1;
      }
      if (len > cap - o) return static_cast<int>(o);  // a character whole or not at all
      std::memcpy(out + o, bytes, len);
      o += len;
    }
  }
  return static_cast<int>(o);
}

// ---------------------------------------------------------------------------
// WideCharToMultiByte / MultiByteToWideChar

namespace cwbase_internal {

Codeset CurrentCodeset() {
  const char* name = nl_langinfo(CODESET);
  if (!name) return Codeset::kOther;
  const size_t maxBytes = MB_CUR_MAX;
  if (std::strcmp(name, "UTF-8") == 0) return maxBytes == 6 ? Codeset::kUtf8 : Codeset::kOther;
  if (std::strcmp(name, "ANSI_X3.4-1968") == 0)
    return maxBytes == 1 ? Codeset::kAscii : Codeset::kOther;
  return Codeset::kOther;
}

int EncodeMultiByte(Codeset codeset, uint32_t wc, unsigned char* out) {
  if (wc < 0x80) {
    out[0] = static_cast<unsigned char>(wc);
    return 1;
  }
  if (codeset != Codeset::kUtf8) return (wc >> 7) == (0xE0000 >> 7) ? 0 : -1;
  if (wc > 0x7FFFFFFF || (wc & 0xFFFFF800) == 0xD800) return -1;
  if (wc < 0x10000) return static_cast<int>(PutUtf8Bmp(wc, out));
  // 4 to 6 bytes: 3 + one more for each further 5 bits beyond 21, 26.
  int len = wc < 0x200000 ? 4 : (wc < 0x4000000 ? 5 : 6);
  static const unsigned char kLead[] = {0, 0, 0, 0, 0xF0, 0xF8, 0xFC};
  for (int k = len - 1; k > 0; --k) {
    out[k] = static_cast<unsigned char>(0x80 | (wc & 0x3F));
    wc >>= 6;
  }
  out[0] = static_cast<unsigned char>(kLead[len] | wc);
  return len;
}

}  // namespace cwbase_internal

namespace {

// The limit shared by the Windows-style pair: the destination size when it is,
// as an unsigned number, below the source length + 1; else that length + 1.
size_t Limit(int destSize, size_t n) {
  auto size = static_cast<unsigned>(destSize);
  return size < n ? size : n;
}

int Result(size_t converted) {
  return converted == static_cast<size_t>(-1) ? -1 : static_cast<int>(converted);
}

constexpr size_t kFailed = static_cast<size_t>(-1);

// wcstombs(dest, source, limit) in a UTF-8 or ASCII locale, n = wcslen(source).
// The C library's order of checks: no room for one more byte stops the
// conversion (result so far); a character without a form fails (-1); a
// character whose bytes do not all fit stops it. The terminator is written
// when it fits and is not counted. Bytes are written as they are converted, so
// a failure leaves the converted prefix in place, as the C library does.
// The C library looks at no more than limit + 1 units (the terminator among
// them only when limit >= n); that matters only where a character is dropped
// without output (ASCII's tag characters), since all others take a byte each.
size_t WideToMultiByte(Codeset codeset, const wchar_t* source, size_t n, char* dest, size_t limit) {
  const bool terminated = limit >= n;
  const size_t end = terminated ? n : limit + 1;  // units before the terminator or window end
  size_t i = 0, o = 0;
  for (;;) {
    // 16 units at a time while their bytes fit (in UTF-8: while they are
    // below 0x10000 and no surrogate).
    while (i + 16 <= end) {
      if (limit - o >= 16 && NarrowAscii16(source + i, dest + o)) {
        i += 16, o += 16;
        continue;
      }
      if (codeset != Codeset::kUtf8) break;
      unsigned char stage[kStageBytes];
      uint32_t outside, surrogate;
      size_t len = StageUtf8<false>(source + i, stage, &outside, &surrogate);
      if (outside || surrogate || len > limit - o) break;
      std::memcpy(dest + o, stage, len);
      i += 16, o += len;
    }
    size_t room = limit - o;
    size_t k = NarrowAsciiRun(source + i, end - i < room ? end - i : room, dest + o);
    i += k;
    o += k;
    if (o >= limit) return o;
    if (i == end) {
      if (terminated) dest[o] = 0;
      return o;
    }
    unsigned char bytes[cwbase_internal::kMaxMultiByte];
    int len = cwbase_internal::EncodeMultiByte(codeset, static_cast<uint32_t>(source[i]), bytes);
    if (len < 0) return kFailed;
    if (static_cast<size_t>(len) > limit - o) return o;
    std::memcpy(dest + o, bytes, static_cast<size_t>(len));
    o += static_cast<size_t>(len);
    ++i;
  }
}

// wcstombs(nullptr, source, 0): the bytes the whole text needs, or -1.
size_t WideToMultiByteCount(Codeset codeset, const wchar_t* source) {
  size_t total = 0;
  unsigned char bytes[cwbase_internal::kMaxMultiByte];
  for (; *source; ++source) {
    int len = cwbase_internal::EncodeMultiByte(codeset, static_cast<uint32_t>(*source), bytes);
    if (len < 0) return kFailed;
    total += static_cast<size_t>(len);
  }
  return total;
}

// One character of UTF-8 as the C library's decoder takes it: the shortest
// form only (no overlongs), no surrogates, 1 to 6 bytes for values up to
// 0x7FFFFFFF. Returns its length with the value in *value, or 0 when the
// bytes at s are not a character. Never reads past a byte that is not a
// continuation byte, so it stops at the terminator.
inline size_t DecodeUtf8(const unsigned char* s, uint32_t* value) {
  const unsigned b = s[0];
  if (b < 0x80) {
    *value = b;
    return 1;
  }
  if (b < 0xC2) return 0;
  if (b < 0xE0) {
    if (!IsContinuation(s[1])) return 0;
    *value = ((b & 0x1Fu) << 6) | (s[1] & 0x3Fu);
    return 2;
  }
  size_t len;
  uint32_t v, min;
  if (b < 0xF0) {
    len = 3, v = b & 0x0F, min = 0x800;
  } else if (b < 0xF8) {
    len = 4, v = b & 0x07, min = 0x10000;
  } else if (b < 0xFC) {
    len = 5, v = b & 0x03, min = 0x200000;
  } else if (b < 0xFE) {
    len = 6, v = b & 0x01, min = 0x4000000;
  } else {
    return 0;
  }
  for (size_t k = 1; k < len; ++k) {
    if (!IsContinuation(s[k])) return 0;
    v = (v << 6) | (s[k] & 0x3Fu);
  }
  if (v < min || (v & 0xFFFFF800) == 0xD800) return 0;
  *value = v;
  return len;
}

// mbstowcs(dest, source, limit) in a UTF-8 or ASCII locale: no room for one
// more unit stops the conversion; an invalid sequence fails (-1) with the
// converted prefix written; the terminator is written when it fits and is not
// counted. The text's length is found a block at a time just ahead of the
// conversion (so the text is read once from memory); the limit needs no
// length either, since the conversion meets the terminator before it writes
// length + 1 units.
size_t MultiByteToWide(Codeset codeset, const unsigned char* source, wchar_t* dest, size_t limit) {
  constexpr size_t kBlock = 4096;
  size_t i = 0, o = 0;
  size_t end = 0;           // the bytes before `end` are not the terminator
  bool terminated = false;  // source[end] is the terminator
  for (;;) {
    if (!terminated && end - i < kWindowReadable) {
      const size_t k = strnlen(reinterpret_cast<const char*>(source + end), kBlock);
      end += k;
      terminated = k < kBlock;
    }
    // Windows of whole characters while they fit; in UTF-8, each character
    // also checked for what the C library refuses (overlongs, surrogates).
    while (i + kWindowReadable <= end && limit - o >= kWindow) {
      Window w = ScanWindow(source + i, codeset == Codeset::kUtf8);
      if (w.bytes == kWindow && w.starts == ~uint64_t{0}) {
        WidenWindow(source + i, dest + o);
        i += kWindow, o += kWindow;
        continue;
      }
      if (w.bytes == 0 || codeset != Codeset::kUtf8) break;
      wchar_t stage[kWindow + 8];
      size_t count = 0;
      bool refused = false;
      if (!w.four) {
        count = DecodeWindowBmp<true>(source + i, w.starts, stage, &refused);
        if (refused) break;
        std::memcpy(dest + o, stage, count * sizeof(wchar_t));
        i += w.bytes, o += count;
        continue;
      }
      for (uint64_t m = w.starts; m; m &= m - 1) {
        const unsigned char* q = source + i + __builtin_ctzll(m);
        uint32_t v = WindowValue(q);
        refused |= v < kWindowMin[q[0] >> 4];
        refused |= (v & 0xFFFFF800) == 0xD800;
        stage[count++] = static_cast<wchar_t>(v);
      }
      if (refused) break;
      std::memcpy(dest + o, stage, count * sizeof(wchar_t));
      i += w.bytes, o += count;
    }
    // The rules below run only with a window's worth measured ahead or the
    // terminator in sight, so no character reaches past `end`.
    if (!terminated && end - i < kWindowReadable) continue;  // measure further first
    size_t room = limit - o;
    size_t k = WidenAsciiRun(source + i, end - i < room ? end - i : room, dest + o);
    i += k;
    o += k;
    if (o >= limit) return o;
    if (i == end) {
      if (!terminated) continue;
      dest[o] = 0;
      return o;
    }
    if (codeset != Codeset::kUtf8) return kFailed;
    uint32_t v;
    // Reads no further than the first byte that is not a continuation byte,
    // so never past the terminator.
    size_t len = DecodeUtf8(source + i, &v);
    if (len == 0) return kFailed;
    dest[o++] = static_cast<wchar_t>(v);
    i += len;
  }
}

// mbstowcs(nullptr, source, 0): the units the whole text needs, or -1.
size_t MultiByteToWideCount(Codeset codeset, const unsigned char* source) {
  size_t count = 0;
  while (*source) {
    uint32_t v;
    size_t len = codeset == Codeset::kUtf8 ? DecodeUtf8(source, &v) : (*source < 0x80 ? 1 : 0);
    if (len == 0) return kFailed;
    source += len;
    ++count;
  }
  return count;
}

}  // namespace

int WideCharToMultiByte(int, unsigned long, const wchar_t* source, int, char* dest, int destSize,
                        const char*, int*) {
  if (!source) return 0;
  const Codeset codeset = cwbase_internal::CurrentCodeset();
  if (codeset == Codeset::kOther) {
    if (!dest) return Result(std::wcstombs(nullptr, source, 0));
    return Result(std::wcstombs(dest, source, Limit(destSize, std::wcslen(source) + 1)));
  }
  if (!dest) return Result(WideToMultiByteCount(codeset, source));
  const size_t n = std::wcslen(source);
  return Result(WideToMultiByte(codeset, source, n, dest, Limit(destSize, n + 1)));
}

int MultiByteToWideChar(int, unsigned long, const char* source, int, wchar_t* dest, int destSize) {
  if (!source) return 0;
  const Codeset codeset = cwbase_internal::CurrentCodeset();
  if (codeset == Codeset::kOther) {
    if (!dest) return Result(std::mbstowcs(nullptr, source, 0));
    return Result(std::mbstowcs(dest, source, Limit(destSize, std::strlen(source) + 1)));
  }
  const auto* s = reinterpret_cast<const unsigned char*>(source);
  if (!dest) return Result(MultiByteToWideCount(codeset, s));
  return Result(MultiByteToWide(codeset, s, dest, static_cast<unsigned>(destSize)));
}

int IsUnicodeOk() {
  return 1;
}
