// The library's own UTF-8 converters and IsUnicodeOk.
//
// Each converter takes its input in blocks where it can (see
// internal/utf8_kernels.h): runs of ASCII and of whole, well-formed
// characters a window at a time, wide text 16 units at a time. Whatever a
// block does not take (malformed bytes, rare characters, the last few units,
// a destination about to fill) goes one character at a time through the
// converter's rules in internal/utf8_codec.h, so that each block gives
// exactly what those rules give.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/text/internal/utf8_kernels.h"

using cwbase_internal::DecodeUtf8Char;
using cwbase_internal::EncodeUtf8Unit;
using cwbase_internal::kMaxUtf8Unit;
using cwbase_internal::kUtf8Block;
using cwbase_internal::kUtf8NoUnit;
using cwbase_internal::kUtf8Window;
using cwbase_internal::Utf8Blocks;
using cwbase_internal::Utf8Rules;

unsigned char* make_utf8_string(const wchar_t* source) {
  // First pass: the units up to the first one whose low 16 bits are zero, and
  // the bytes they need. It cannot look ahead (the text may end at a unit like
  // 0x10000 with nothing readable after it), so it goes unit by unit.
  size_t units = 0, size = 1;
  for (unsigned v; (v = static_cast<unsigned>(source[units]) & 0xFFFF) != 0; ++units)
    size += 1 + (v >= 0x80) + (v >= 0x800);
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  size_t o = 0;
  size_t i =
      cwbase_internal::EncodeUtf8Blocks(source, units, Utf8Blocks::kLow16, out, size - 1, &o);
  for (; i < units; ++i) o += EncodeUtf8Unit(source[i] & 0xFFFF, out + o);
  out[o] = 0;
  return out;
}

wchar_t* make_unicode_string(const unsigned char* source) {
  const size_t n = std::strlen(reinterpret_cast<const char*>(source));
  // Windows hold only plain UTF-8 of up to three bytes, where the division
  // into characters and the values are those of the character rules.
  uint32_t value;
  size_t count = 0;
  for (size_t i = 0; i < n;) {
    i += cwbase_internal::CountUtf8Windows(source + i, n - i, &count);
    for (size_t stop = i + kUtf8Window; i < n && i < stop; ++count)
      i += DecodeUtf8Char<Utf8Rules::kUnicodeString>(source + i, n - i, &value);
  }
  auto* out = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
  if (!out) return nullptr;
  wchar_t* o = out;
  for (size_t i = 0; i < n;) {
    size_t written;
    i += cwbase_internal::DecodeUtf8Windows(source + i, n - i, false, o,
                                            count + 1 - static_cast<size_t>(o - out), &written);
    o += written;
    for (size_t stop = i + kUtf8Window; i < n && i < stop; ++o) {
      i += DecodeUtf8Char<Utf8Rules::kUnicodeString>(source + i, n - i, &value);
      *o = static_cast<wchar_t>(value);
    }
  }
  *o = 0;
  return out;
}

int Utf8toWStr(wchar_t* dest, int destCapacity, char* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(source);
  const auto n = static_cast<size_t>(sourceLength), cap = static_cast<size_t>(destCapacity);
  size_t i = 0, o = 0;
  while (i < n && o < cap) {
    // A window gives at most one unit per byte: it may look at no more bytes
    // than there is room for units.
    size_t written;
    const size_t ahead = n - i < cap - o ? n - i : cap - o;
    i += cwbase_internal::DecodeUtf8Windows(s + i, ahead, true, dest + o, cap - o, &written);
    o += written;
    for (size_t stop = i + kUtf8Window; i < n && i < stop;) {
      uint32_t v;
      i += DecodeUtf8Char<Utf8Rules::kWStr>(s + i, n - i, &v);
      if (v == kUtf8NoUnit) continue;
      if (o == cap) return static_cast<int>(o);  // full: the rest can add nothing
      dest[o++] = static_cast<wchar_t>(v);
    }
  }
  return static_cast<int>(o);
}

int WstrtoUtf8(char* dest, int destCapacity, wchar_t* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  const auto n = static_cast<size_t>(sourceLength), cap = static_cast<size_t>(destCapacity);
  auto* out = reinterpret_cast<unsigned char*>(dest);
  size_t i = 0, o = 0;
  while (i < n) {
    size_t written;
    i += cwbase_internal::EncodeUtf8Blocks(source + i, n - i, Utf8Blocks::kWStr, out + o, cap - o,
                                           &written);
    o += written;
    for (size_t stop = i + kUtf8Block; i < n && i < stop; ++i) {
      unsigned char bytes[kMaxUtf8Unit];
      const size_t len = EncodeUtf8Unit(source[i], bytes);
      if (len > cap - o) return static_cast<int>(o);  // a character whole or not at all
      std::memcpy(out + o, bytes, len);
      o += len;
    }
  }
  return static_cast<int>(o);
}

int IsUnicodeOk() {
  return 1;
}
