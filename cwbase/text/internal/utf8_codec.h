// One character of UTF-8 at a time, both ways, by each set of rules the
// library follows: the decoder behind the XML reader, MultiByteToWideChar,
// Utf8toWStr, make_unicode_string and the tails of the block kernels, and the
// encoder behind WstrtoUtf8, make_utf8_string and the C library's form that
// WideCharToMultiByte writes. Inline: the converters call these for every
// character their blocks leave.
//
// Contract
// - DecodeUtf8Char<rules>(p, avail, &value) reads one character from the
//   avail (at least 1) bytes at p and returns the bytes it took, with the
//   character in *value. It never reads at or past avail bytes, and under
//   every rule set but kUnicodeString never past the first byte after the
//   lead that is not a continuation byte (so it stops at a terminator).
//   Bytes below 0x80 are characters of one byte under every rule set.
//   - kXml: UTF-8 as XML 1.0 reads it: leads C2-F4, shortest form only, no
//     surrogates (D800-DFFF), nothing above U+10FFFF. 0 for anything else,
//     a sequence cut off by avail included (*value is then untouched).
//   - kCLibrary: the C library's decoder in a UTF-8 locale (mbstowcs):
//     leads C2-FD, 1 to 6 bytes, shortest form only, no surrogates, values
//     up to 0x7FFFFFFF. 0 for anything else, as with kXml.
//   - kWStr: Utf8toWStr's lenient reading; never 0. Leads C0-DF, E0-EF and
//     F0-F7 take one, two and three continuation bytes with no check of the
//     value. A continuation byte without a lead, and F8-FF, give '?'. A
//     sequence cut short takes the bytes before the cut and gives '?' when
//     avail or an ASCII byte cut it, nothing (kUtf8NoUnit) when a lead or
//     F8-FF did.
//   - kUnicodeString: make_unicode_string's reading; never 0. E0-FF take the
//     next two bytes, 80-DF the next one, whatever they are (their low six
//     bits count, the lead's low five or six); bytes missing at avail count
//     as zero bits.
// - EncodeUtf8Unit(v, out) writes one wide unit by WstrtoUtf8's rules and
//   returns the byte count (at most kMaxUtf8Unit): 1 to 4 bytes for 0 to
//   U+10FFFF (surrogates like any other value), '?' above, and the low eight
//   bits of a negative unit.
// - Utf8Length(v) is the length of the shortest form of v (1 to 6 bytes,
//   for v up to 0x7FFFFFFF); PutUtf8(v, len, out) writes v as a sequence of
//   len bytes (1 to 6; v must fit in them).
// Threads: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cwbase_internal {

enum class Utf8Rules { kXml, kCLibrary, kWStr, kUnicodeString };

// What DecodeUtf8Char<kWStr> gives for a sequence that yields no unit.
constexpr uint32_t kUtf8NoUnit = 0xFFFFFFFFu;

// Largest number of bytes EncodeUtf8Unit writes.
constexpr size_t kMaxUtf8Unit = 4;

// How a rule set reads a lead byte of 0x80 or above: the sequence's length
// in bytes (0: not a lead), the lead's bits that belong to the value, and
// the smallest value that length may carry.
struct Utf8Lead {
  unsigned length;
  unsigned bits;
  uint32_t min;
};

// The lead C0-FD read as UTF-8 writes it: as many bytes as it has leading
// one bits.
constexpr Utf8Lead StandardUtf8Lead(unsigned b) {
  return b < 0xE0   ? Utf8Lead{2, 0x1F, 0x80}
         : b < 0xF0 ? Utf8Lead{3, 0x0F, 0x800}
         : b < 0xF8 ? Utf8Lead{4, 0x07, 0x10000}
         : b < 0xFC ? Utf8Lead{5, 0x03, 0x200000}
                    : Utf8Lead{6, 0x01, 0x4000000};
}

template <Utf8Rules rules>
constexpr Utf8Lead Utf8LeadOf(unsigned b) {
  constexpr Utf8Lead kNone{0, 0, 0};
  switch (rules) {
    case Utf8Rules::kXml:
      return b >= 0xC2 && b <= 0xF4 ? StandardUtf8Lead(b) : kNone;
    case Utf8Rules::kCLibrary:
      return b >= 0xC2 && b <= 0xFD ? StandardUtf8Lead(b) : kNone;
    case Utf8Rules::kWStr:  // no minimum: the value is not checked
      return b >= 0xC0 && b <= 0xF7 ? StandardUtf8Lead(b) : kNone;
    case Utf8Rules::kUnicodeString:
      return b < 0xE0 ? Utf8Lead{2, 0x3F, 0} : Utf8Lead{3, 0x1F, 0};
  }
  return kNone;
}

template <Utf8Rules rules>
inline size_t DecodeUtf8Char(const unsigned char* p, size_t avail, uint32_t* value) {
  constexpr bool strict = rules == Utf8Rules::kXml || rules == Utf8Rules::kCLibrary;
  // Whether the bytes after a lead must be continuation bytes.
  constexpr bool continued = rules != Utf8Rules::kUnicodeString;
  const unsigned lead = p[0];
  if (lead < 0x80) {
    *value = lead;
    return 1;
  }
  const Utf8Lead form = Utf8LeadOf<rules>(lead);
  if (form.length == 0) {
    if (strict) return 0;
    *value = '?';
    return 1;
  }
  uint32_t v = lead & form.bits;
  size_t k = 1;
  for (; k < form.length && k < avail; ++k) {
    if (continued && (p[k] & 0xC0u) != 0x80u) break;
    v = (v << 6) | (p[k] & 0x3Fu);
  }
  if (k < form.length) {  // cut short
    if (strict) return 0;
    if (rules == Utf8Rules::kUnicodeString)
      *value = v << (6 * (form.length - k));
    else
      *value = k == avail || p[k] < 0x80 ? uint32_t{'?'} : kUtf8NoUnit;
    return k;
  }
  if (strict) {
    constexpr uint32_t kMax = rules == Utf8Rules::kXml ? 0x10FFFF : 0x7FFFFFFF;
    if (v < form.min || v > kMax || (v & 0xFFFFF800u) == 0xD800u) return 0;
  }
  *value = v;
  return form.length;
}

inline size_t Utf8Length(uint32_t v) {
  return v < 0x80 ? 1 : v < 0x800 ? 2 : v < 0x10000 ? 3 : v < 0x200000 ? 4 : v < 0x4000000 ? 5 : 6;
}

inline void PutUtf8(uint32_t v, size_t len, unsigned char* out) {
  if (len == 1) {
    out[0] = static_cast<unsigned char>(v);
    return;
  }
  for (size_t k = len - 1; k > 0; --k, v >>= 6)
    out[k] = static_cast<unsigned char>(0x80 | (v & 0x3F));
  // The lead: len one bits, a zero bit, then the value's top bits.
  out[0] = static_cast<unsigned char>((0xFF00u >> len) | v);
}

inline size_t EncodeUtf8Unit(int32_t v, unsigned char* out) {
  if (v < 0x80) {  // negative units too: the cast keeps their low eight bits
    out[0] = static_cast<unsigned char>(v);
    return 1;
  }
  if (v > 0x10FFFF) {
    out[0] = '?';
    return 1;
  }
  const auto u = static_cast<uint32_t>(v);
  const size_t len = Utf8Length(u);
  PutUtf8(u, len, out);
  return len;
}

}  // namespace cwbase_internal
