// Scanning primitives of the XML readers and writer for 8-bit text
// (unsigned char) and wide text (wchar_t), over the classes of xmlchars.h:
// one search for the first unit in (or outside) a class sixteen units at a
// time, its backward counterpart for trimming, the narrowing of ASCII runs
// of wide text up to such a unit, and the tag scan that finds a tag's end
// and keeps the positions of its quotes, spaces and "="s. Private to the
// XML subsystem.
//
// Contract
// - Every search looks at the units [from, end) and returns the position of
//   what it found, or `end`. `size` is the number of units that may be read
//   at the text (end <= size): vector loads never reach past it.
// - The vector paths compare wide units narrowed with signed saturation
//   (simd.h): a unit from 0x7F up becomes 0x7F, a negative one a byte with
//   its top bit set, so every class stays exact, kXmlHigh included.
// Threads: pure functions; a TagScan is used by one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "cwbase/core/internal/simd.h"
#include "cwbase/xml/internal/xmlchars.h"

namespace cwbase_internal {

#if defined(CWBASE_SIMD_SSE2)

inline simd::Vec XmlLoad16(const unsigned char* p) {
  return simd::Load16(p);
}
inline simd::Vec XmlLoad16(const wchar_t* p) {
  return simd::LoadNarrow16(p);
}

// All ones in the units of v equal to a member of kClass, leaving out the
// members below 0x20 that the range compare of kClass already covers.
template <uint32_t kClass, size_t... I>
inline simd::Vec XmlMemberLanes(simd::Vec v, std::index_sequence<I...>) {
  constexpr auto kCovered = [](unsigned char c) {
    return (kXmlCharClass[c] & kClass & (kXmlControl | kXmlTextControl)) != 0;
  };
  simd::Vec lanes = simd::Zero();
  ((lanes = (kXmlCharClass[static_cast<unsigned char>(kXmlClassMembers[I])] & kClass) &&
                    !kCovered(static_cast<unsigned char>(kXmlClassMembers[I]))
                ? simd::Or(lanes, simd::EqBytes(v, kXmlClassMembers[I]))
                : lanes),
   ...);
  return lanes;
}

// Bits of the 16 units of v that belong to a class of kClass: the control
// classes and kXmlHigh by range, the others by their members, combined
// lane-wise before one mask.
template <uint32_t kClass>
inline unsigned XmlClassMask(simd::Vec v) {
  static_assert((kClass & (kXmlNameStart | kXmlNameChar)) == 0, "name classes are not searched");
  constexpr bool kLow = (kClass & (kXmlControl | kXmlTextControl)) != 0;
  constexpr bool kHigh = (kClass & kXmlHigh) != 0;
  simd::Vec lanes = XmlMemberLanes<kClass>(v, std::make_index_sequence<sizeof(kXmlClassMembers)>());
  if constexpr (kLow) {
    simd::Vec low =
        simd::LessBytes(v, 0x20);  // signed: bytes with the top bit set compare below too
    if constexpr (!(kClass & kXmlControl))
      low = simd::AndNot(simd::Or(simd::EqBytes(v, '\t'), simd::EqBytes(v, '\n')), low);
    if constexpr (!kHigh) low = simd::AndNot(v, low);  // clears the lanes with the top bit set
    lanes = simd::Or(lanes, low);
  }
  if constexpr (kHigh) {
    lanes = simd::Or(lanes, simd::EqBytes(v, 0x7F));
    if constexpr (!kLow) lanes = simd::Or(lanes, v);  // the top bit is what Mask reads
  }
  return simd::HighMask(lanes);
}

#endif

// The first unit in [from, end) that belongs to a class of kClass (kIn) or
// to none of them (!kIn).
template <uint32_t kClass, bool kIn = true, typename Char>
size_t XmlSearch(const Char* text, size_t from, size_t end, size_t size) {
  size_t i = from;
#if defined(CWBASE_SIMD_SSE2)
  for (; i < end && i + 16 <= size; i += 16) {
    unsigned m = XmlClassMask<kClass>(XmlLoad16(text + i));
    if (!kIn) m = ~m;
    m &= simd::BitsBefore(i, end);
    if (m) return i + simd::FirstBit(m);
  }
#endif
  static_cast<void>(size);
  for (; i < end; ++i)
    if (((XmlClassOf(text[i]) & kClass) != 0) == kIn) return i;
  return end;
}

// The end of [from, end) once the units of class kClass at its end are cut
// off: the backward counterpart of XmlSearch<kClass, false>, for trimming.
template <uint32_t kClass, typename Char>
size_t XmlTrimBack(const Char* text, size_t from, size_t end) {
  while (end > from && (XmlClassOf(text[end - 1]) & kClass)) --end;
  return end;
}

// Copies the units of [from, end) of wide text as bytes to out, up to the
// first unit of class kClass, and returns that unit's position (or end).
// kClass must hold kXmlHigh, so every unit copied is ASCII. The vector path
// narrows sixteen units at a time into out, non-ASCII ones as 0x7F, and
// finds the class in the bytes it wrote: out must have room for end - from
// bytes, and bytes past the stop may be written.
template <uint32_t kClass>
inline __attribute__((always_inline)) size_t XmlNarrowRun(const wchar_t* text, size_t from,
                                                          size_t end, char* out) {
  static_assert((kClass & kXmlHigh) != 0, "only ASCII is copied");
  size_t i = from;
  out -= from;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= end; i += 16) {
    const simd::Vec v = simd::NarrowAsciiOr16(text + i, 0x7F);
    simd::Store16(out + i, v);
    if (const unsigned m = XmlClassMask<kClass>(v)) return i + simd::FirstBit(m);
  }
#endif
  for (; i < end && !(XmlClassOf(text[i]) & kClass); ++i) out[i] = static_cast<char>(text[i]);
  return i;
}

// Bit i set when an odd number of bits 0..i of the 16-bit x are set.
inline unsigned XmlPrefixXor16(unsigned x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  return x & 0xFFFFu;
}

// A tag scanned 16 units at a time from its first unit: the end of the tag
// (the first ">" outside double quotes, quotes counted from the start) and,
// for its first kUnits units, the masks of its quotes, spaces and "="s, so
// that the splitting of the attributes reads no unit again.
class XmlTagScan {
 public:
  static constexpr size_t kUnits = 512;

  // The end of the tag starting at `tag` within [tag, end), or `end`.
  template <typename Char>
  size_t Run(const Char* text, size_t tag, size_t end, size_t size) {
    m_Tag = tag;
    m_Scanned = 0;
    m_HasLt = false;
    unsigned quoted = 0;  // all ones inside a quoted stretch
    for (size_t at = tag; at < end; at += 16) {
      const Masks m = Scan16(text, at, end, size);
      const unsigned lt = m.lt;
      const size_t k = at - tag;
      if (k < kUnits) {
        const size_t w = k / 64, shift = k % 64;
        if (shift == 0) m_Quote[w] = m_Space[w] = m_Eq[w] = 0;
        m_Quote[w] |= static_cast<uint64_t>(m.quote) << shift;
        m_Space[w] |= static_cast<uint64_t>(m.space) << shift;
        m_Eq[w] |= static_cast<uint64_t>(m.eq) << shift;
        m_Scanned = k + 16;
      }
      const unsigned inside = XmlPrefixXor16(m.quote) ^ quoted;
      if (unsigned ends = m.close & ~inside & 0xFFFFu) {
        const unsigned stop = simd::FirstBit(ends);
        m_HasLt |= (lt & ((1u << stop) - 1)) != 0;
        return at + stop;
      }
      m_HasLt |= lt != 0;
      quoted = (inside & 0x8000u) ? 0xFFFFu : 0;
    }
    return end;
  }

  // Whether a "<" stands in the tag the last Run ended (before its ">").
  bool HasLt() const { return m_HasLt; }

  // Whether the masks cover [m_Tag, end).
  bool Covers(size_t end) const { return end - m_Tag <= m_Scanned; }

  // The first unit of class kClass (kXmlQuote, kXmlSpace or kXmlEquals) in
  // [from, end), or end; the masks must cover [from, end).
  template <uint32_t kClass>
  size_t Find(size_t from, size_t end) const {
    static_assert(kClass == kXmlQuote || kClass == kXmlSpace || kClass == kXmlEquals,
                  "a class the scan keeps");
    if (from >= end) return end;
    const uint64_t* masks = kClass == kXmlQuote ? m_Quote : kClass == kXmlSpace ? m_Space : m_Eq;
    const size_t words = (end - m_Tag + 63) / 64;
    size_t w = (from - m_Tag) / 64;
    uint64_t m = masks[w] & (~uint64_t{0} << ((from - m_Tag) % 64));
    while (!m) {
      if (++w >= words) return end;
      m = masks[w];
    }
    size_t at = m_Tag + 64 * w + simd::FirstBit64(m);
    return at < end ? at : end;
  }

 private:
  // Bits of 16 units equal to '"', '>', ' ', '=' and '<'.
  struct Masks {
    unsigned quote = 0, close = 0, space = 0, eq = 0, lt = 0;
  };

  // The masks of the 16 units at `at`, restricted to the units before `end`.
  template <typename Char>
  static Masks Scan16(const Char* text, size_t at, size_t end, size_t size) {
    Masks m;
#if defined(CWBASE_SIMD_SSE2)
    if (at + 16 <= size) {
      const simd::Vec v = XmlLoad16(text + at);
      m.quote = XmlClassMask<kXmlQuote>(v);
      m.close = XmlClassMask<kXmlTagClose>(v);
      m.space = XmlClassMask<kXmlSpace>(v);
      m.eq = XmlClassMask<kXmlEquals>(v);
      m.lt = XmlClassMask<kXmlLt>(v);
    } else
#endif
    {
      for (size_t k = 0; k < 16 && at + k < size; ++k) {
        const uint32_t c = XmlClassOf(text[at + k]);
        const unsigned bit = 1u << k;
        if (c & kXmlQuote) m.quote |= bit;
        if (c & kXmlTagClose) m.close |= bit;
        if (c & kXmlSpace) m.space |= bit;
        if (c & kXmlEquals) m.eq |= bit;
        if (c & kXmlLt) m.lt |= bit;
      }
    }
    const unsigned keep = simd::BitsBefore(at, end);
    m.quote &= keep;
    m.close &= keep;
    m.space &= keep;
    m.eq &= keep;
    m.lt &= keep;
    return m;
  }

  size_t m_Tag = 0;
  size_t m_Scanned = 0;  // units [m_Tag, m_Tag + m_Scanned) have masks
  bool m_HasLt = false;
  uint64_t m_Quote[kUnits / 64] = {};
  uint64_t m_Space[kUnits / 64] = {};
  uint64_t m_Eq[kUnits / 64] = {};
};

// Whether the bytes before the first zero byte among the n at `text` (all n
// when there is none) are ASCII; *end is set to that first zero byte, or to
// the first byte of 0x80 or above when one comes before it.
inline bool XmlAsciiEnd(const unsigned char* text, size_t n, size_t* end) {
  size_t i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i + 16 <= n; i += 16) {
    const simd::Vec v = simd::Load16(text + i);
    if (const unsigned stop = simd::HighMask(v) | simd::EqMask(v, '\0')) {
      i += simd::FirstBit(stop);
      break;
    }
  }
#endif
  while (i < n && text[i] != 0 && text[i] < 0x80) ++i;
  *end = i;
  return i == n || text[i] == 0;
}

}  // namespace cwbase_internal
