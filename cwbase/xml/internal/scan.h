// Scanning primitives of the XML reader for 8-bit text (unsigned char) and
// wide text (wchar_t): searches for ASCII characters sixteen units at a time
// (SSE2 where the target has it, unit by unit elsewhere), and the widening of
// ASCII bytes to wide units.
//
// Every search looks at the units [from, end) and returns the position of
// what it found, or `end`. `size` is the number of units that may be read at
// the text (end <= size): vector loads never reach past it.
// Wide units are narrowed to bytes with signed saturation before they are
// compared, which maps every unit outside 0-126 to a byte outside 0-126, so
// comparisons with ASCII characters below 127 stay exact.
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cwxml {

#if defined(__SSE2__)

inline __m128i Load16(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline __m128i Load16(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 4, "four units per vector");
  const auto* v = reinterpret_cast<const __m128i*>(p);
  __m128i lo = _mm_packs_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
  __m128i hi = _mm_packs_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
  return _mm_packs_epi16(lo, hi);
}

inline unsigned Mask(__m128i v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}

// The bits of a 16-unit block at `at` that lie before `end`.
inline unsigned Below(size_t at, size_t end) {
  return end - at >= 16 ? 0xFFFFu : (1u << (end - at)) - 1;
}

#endif

// The first unit c in [from, end).
template <typename Char>
size_t Find(const Char* text, size_t from, size_t end, size_t size, char c) {
  size_t i = from;
#if defined(__SSE2__)
  for (; i < end && i + 16 <= size; i += 16) {
    unsigned m = Mask(Load16(text + i), c) & Below(i, end);
    if (m) return i + static_cast<unsigned>(__builtin_ctz(m));
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i)
    if (text[i] == static_cast<Char>(c)) return i;
  return end;
}

// The first unit a or b in [from, end).
template <typename Char>
size_t FindEither(const Char* text, size_t from, size_t end, size_t size, char a, char b) {
  size_t i = from;
#if defined(__SSE2__)
  for (; i < end && i + 16 <= size; i += 16) {
    __m128i v = Load16(text + i);
    unsigned m = (Mask(v, a) | Mask(v, b)) & Below(i, end);
    if (m) return i + static_cast<unsigned>(__builtin_ctz(m));
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i)
    if (text[i] == static_cast<Char>(a) || text[i] == static_cast<Char>(b)) return i;
  return end;
}

// The first unit space, ">", "<" or zero in [from, end): the end of the
// token after a "<".
template <typename Char>
size_t FindNameEnd(const Char* text, size_t from, size_t end, size_t size) {
  size_t i = from;
#if defined(__SSE2__)
  for (; i < end && i + 16 <= size; i += 16) {
    __m128i v = Load16(text + i);
    unsigned m = (Mask(v, ' ') | Mask(v, '>') | Mask(v, '<') | Mask(v, 0)) & Below(i, end);
    if (m) return i + static_cast<unsigned>(__builtin_ctz(m));
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i)
    if (text[i] == ' ' || text[i] == '>' || text[i] == '<' || text[i] == 0) return i;
  return end;
}

// The first ">" in [from, end) outside a double-quoted stretch, quotes being
// counted from `from`: the end of a tag.
template <typename Char>
size_t FindTagEnd(const Char* text, size_t from, size_t end, size_t size) {
  bool quoted = false;
  size_t i = from;
#if defined(__SSE2__)
  for (; i < end && i + 16 <= size; i += 16) {
    __m128i v = Load16(text + i);
    unsigned m = (Mask(v, '"') | Mask(v, '>')) & Below(i, end);
    for (; m; m &= m - 1) {
      size_t at = i + static_cast<unsigned>(__builtin_ctz(m));
      if (text[at] == '"')
        quoted = !quoted;
      else if (!quoted)
        return at;
    }
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i) {
    if (text[i] == '"')
      quoted = !quoted;
    else if (text[i] == '>' && !quoted)
      return i;
  }
  return end;
}

// The first unit in [from, end) that is not tab, line feed, carriage return
// or space.
template <typename Char>
size_t SkipSpace(const Char* text, size_t from, size_t end, size_t size) {
  size_t i = from;
#if defined(__SSE2__)
  for (; i < end && i + 16 <= size; i += 16) {
    __m128i v = Load16(text + i);
    unsigned space = Mask(v, ' ') | Mask(v, '\t') | Mask(v, '\n') | Mask(v, '\r');
    unsigned other = ~space & Below(i, end);
    if (other) return i + static_cast<unsigned>(__builtin_ctz(other));
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n' && text[i] != '\r') return i;
  return end;
}

// Bits of the 16 units at `at` equal to '"', '>', ' ' and '=', each
// restricted to the units before `end`.
struct Masks16 {
  unsigned quote = 0, gt = 0, space = 0, eq = 0;
};

template <typename Char>
Masks16 Scan16(const Char* text, size_t at, size_t end, size_t size) {
  Masks16 m;
#if defined(__SSE2__)
  if (at + 16 <= size) {
    __m128i v = Load16(text + at);
    m.quote = Mask(v, '"');
    m.gt = Mask(v, '>');
    m.space = Mask(v, ' ');
    m.eq = Mask(v, '=');
  } else
#endif
  {
    for (size_t k = 0; k < 16 && at + k < size; ++k) {
      const Char c = text[at + k];
      const unsigned bit = 1u << k;
      if (c == '"') m.quote |= bit;
      if (c == '>') m.gt |= bit;
      if (c == ' ') m.space |= bit;
      if (c == '=') m.eq |= bit;
    }
  }
  if (end - at < 16) {
    const unsigned keep = (1u << (end - at)) - 1;
    m.quote &= keep;
    m.gt &= keep;
    m.space &= keep;
    m.eq &= keep;
  }
  return m;
}

// Bit i set when an odd number of bits 0..i of the 16-bit x are set.
inline unsigned PrefixXor16(unsigned x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  return x & 0xFFFFu;
}

// A tag scanned 16 units at a time from its first unit: the end of the tag
// (the first ">" outside double quotes, quotes counted from the start) and,
// for its first kUnits units, the masks of what was scanned, so that the
// splitting of the attributes reads no unit again.
class TagScan {
 public:
  static constexpr size_t kUnits = 512;

  // The end of the tag starting at `tag` within [tag, end), or `end`.
  template <typename Char>
  size_t Run(const Char* text, size_t tag, size_t end, size_t size) {
    m_Tag = tag;
    m_Scanned = 0;
    unsigned quoted = 0;  // all ones inside a quoted stretch
    for (size_t at = tag; at < end; at += 16) {
      const Masks16 m = Scan16(text, at, end, size);
      const size_t k = at - tag;
      if (k < kUnits) {
        const size_t w = k / 64, shift = k % 64;
        if (shift == 0) m_Quote[w] = m_Space[w] = m_Eq[w] = 0;
        m_Quote[w] |= static_cast<uint64_t>(m.quote) << shift;
        m_Space[w] |= static_cast<uint64_t>(m.space) << shift;
        m_Eq[w] |= static_cast<uint64_t>(m.eq) << shift;
        m_Scanned = k + 16;
      }
      const unsigned inside = PrefixXor16(m.quote) ^ quoted;
      if (unsigned ends = m.gt & ~inside & 0xFFFFu)
        return at + static_cast<unsigned>(__builtin_ctz(ends));
      quoted = (inside & 0x8000u) ? 0xFFFFu : 0;
    }
    return end;
  }

  // Whether the masks cover [m_Tag, end).
  bool Covers(size_t end) const { return end - m_Tag <= m_Scanned; }

  // The first unit c (one of '"', ' ', '=') in [from, end), or end; the
  // masks must cover [from, end).
  size_t Find(size_t from, size_t end, char c) const {
    if (from >= end) return end;
    const uint64_t* masks = c == '"' ? m_Quote : c == ' ' ? m_Space : m_Eq;
    const size_t words = (end - m_Tag + 63) / 64;
    size_t w = (from - m_Tag) / 64;
    uint64_t m = masks[w] & (~uint64_t{0} << ((from - m_Tag) % 64));
    while (!m) {
      if (++w >= words) return end;
      m = masks[w];
    }
    size_t at = m_Tag + 64 * w + static_cast<unsigned>(__builtin_ctzll(m));
    return at < end ? at : end;
  }

 private:
  size_t m_Tag = 0;
  size_t m_Scanned = 0;  // units [m_Tag, m_Tag + m_Scanned) have masks
  uint64_t m_Quote[kUnits / 64] = {};
  uint64_t m_Space[kUnits / 64] = {};
  uint64_t m_Eq[kUnits / 64] = {};
};

// Widens `count` ASCII bytes to wide units.
inline void Widen(const unsigned char* from, size_t count, wchar_t* to) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= count; i += 16) {
    __m128i v = Load16(from + i);
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    auto* out = reinterpret_cast<__m128i*>(to + i);
    _mm_storeu_si128(out, _mm_unpacklo_epi16(lo, zero));
    _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(lo, zero));
    _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(hi, zero));
    _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(hi, zero));
  }
#endif
  for (; i < count; ++i) to[i] = from[i];
}

}  // namespace cwxml
