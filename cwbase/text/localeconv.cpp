// WideCharToMultiByte / MultiByteToWideChar: the locale's multibyte text.
//
// In UTF-8 and ASCII locales the pair reproduces the C library's
// wcstombs/mbstowcs itself (the order of their checks is written out below,
// the character rules are Utf8Rules::kCLibrary of internal/utf8_codec.h and
// EncodeMultiByte), block by block where the text allows
// (internal/utf8_kernels.h); in every other locale it calls the C library.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/codeset.h"
#include "cwbase/text/internal/multibyte.h"
#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/text/internal/utf8_kernels.h"

using cwbase_internal::Codeset;
using cwbase_internal::DecodeUtf8Char;
using cwbase_internal::Utf8Rules;

namespace {

// The limit shared by the pair: the destination size when it is, as an
// unsigned number, below the source length + 1; else that length + 1.
size_t Limit(int destSize, size_t n) {
  auto size = static_cast<unsigned>(destSize);
  return size < n ? size : n;
}

int Result(size_t converted) {
  return converted == static_cast<size_t>(-1) ? -1 : static_cast<int>(converted);
}

constexpr size_t kFailed = static_cast<size_t>(-1);

// wcstombs(dest, source, Limit(destSize, n + 1)) in a UTF-8 or ASCII locale,
// n = wcslen(source). The C library's order of checks: no room for one more
// byte stops the conversion (result so far); a character without a form
// fails (-1); a character whose bytes do not all fit stops it. The
// terminator is written when it fits and is not counted. Bytes are written
// as they are converted, so a failure leaves the converted prefix in place,
// as the C library does. The C library looks at no more than limit + 1 units
// (the terminator among them only when limit >= n); that matters only where
// a character is dropped without output (ASCII's tag characters), since all
// others take a byte each.
//
// Only min(n, destSize + 1) units decide the limit, and they are measured a
// block at a time just ahead of the conversion (so the text is read once
// from memory). Until the measure is complete the limit is taken as the
// least it can be, min(destSize, measured + 1): where that stops the
// conversion, the text is measured further and the conversion goes on.
size_t WideToMultiByte(Codeset codeset, const wchar_t* source, int destSize, char* dest) {
  constexpr size_t kBlock = 4096;
  const size_t size = static_cast<unsigned>(destSize);
  const auto blocks = codeset == Codeset::kUtf8 ? cwbase_internal::Utf8Blocks::kStrict
                                                : cwbase_internal::Utf8Blocks::kAscii;
  auto* out = reinterpret_cast<unsigned char*>(dest);
  size_t known = 0;    // units measured, none of them the terminator
  bool found = false;  // the terminator is at `known`
  size_t limit = 0, end = 0;
  bool complete = false, terminated = false;
  // Measures up to kBlock units further (never past destSize + 1 in all) and
  // sets the limit and the units that may be looked at.
  auto measure = [&] {
    const size_t most = size - known + 1;  // destSize + 1 units are enough
    const size_t step = most < kBlock ? most : kBlock;
    const size_t k = wcsnlen(source + known, step);
    known += k;
    found = k < step;
    complete = found || known == size + 1;
    if (!complete) {
      limit = size < known + 1 ? size : known + 1;
      end = known;
      return;
    }
    limit = Limit(destSize, known + (found ? 1 : 0));
    terminated = found && limit >= known;
    end = terminated ? known : limit + 1;
  };
  measure();
  size_t i = 0, o = 0;
  for (;;) {
    if (!complete && end - i < cwbase_internal::kUtf8WindowReadable) {
      measure();
      continue;
    }
    size_t written;
    i += cwbase_internal::EncodeUtf8Blocks(source + i, end - i, blocks, out + o, limit - o,
                                           &written);
    o += written;
    const size_t room = limit - o;
    const size_t k =
        cwbase_internal::NarrowAsciiRun(source + i, end - i < room ? end - i : room, dest + o);
    i += k;
    o += k;
    // A stop short of the end of what was measured: the limit was the least
    // it could be, which only the measure of more text can raise.
    const bool stopped = o >= limit || i == end;
    if (stopped && !complete) {
      measure();
      continue;
    }
    if (o >= limit) return o;
    if (i == end) {
      if (terminated) dest[o] = 0;
      return o;
    }
    unsigned char bytes[cwbase_internal::kMaxMultiByte];
    const int len =
        cwbase_internal::EncodeMultiByte(codeset, static_cast<uint32_t>(source[i]), bytes);
    if (len < 0) return kFailed;
    if (static_cast<size_t>(len) > limit - o) {
      if (complete) return o;
      measure();
      continue;
    }
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
    const int len =
        cwbase_internal::EncodeMultiByte(codeset, static_cast<uint32_t>(*source), bytes);
    if (len < 0) return kFailed;
    total += static_cast<size_t>(len);
  }
  return total;
}

}  // namespace

namespace cwbase_internal {

// The text's length is found a block at a time just ahead of the conversion
// (so the text is read once from memory) and never past `bound`; the limit
// needs no length either, since the conversion meets the end of the text
// before it writes length + 1 units.
size_t MultiByteToWideBounded(Codeset codeset, const unsigned char* source, size_t bound,
                              wchar_t* dest, size_t limit, size_t* converted) {
  constexpr size_t kBlock = 4096;
  const bool utf8 = codeset == Codeset::kUtf8;
  size_t i = 0, o = 0;
  size_t end = 0;           // the bytes before `end` are not the terminator
  bool terminated = false;  // the text ends at `end` (the terminator or `bound`)
  for (;;) {
    if (!terminated && end - i < kUtf8WindowReadable) {
      const size_t block = bound - end < kBlock ? bound - end : kBlock;
      const size_t k = strnlen(reinterpret_cast<const char*>(source + end), block);
      end += k;
      terminated = k < kBlock;  // a zero byte, or `bound` within this block
    }
    // Windows of whole characters while they fit; in UTF-8, each character
    // also checked for what the C library refuses (overlongs, surrogates).
    size_t written;
    i += cwbase_internal::DecodeUtf8WindowsStrict(source + i, end - i, utf8, dest + o, limit - o,
                                                  &written);
    o += written;
    // The rules below run only with a window's worth measured ahead or the
    // terminator in sight, so no character reaches past `end`.
    if (!terminated && end - i < kUtf8WindowReadable) continue;  // measure further first
    const size_t room = limit - o;
    const size_t k =
        cwbase_internal::WidenAsciiRun(source + i, end - i < room ? end - i : room, dest + o);
    i += k;
    o += k;
    *converted = o;
    if (o >= limit) return o;
    if (i == end) {
      if (!terminated) continue;
      dest[o] = 0;
      return o;
    }
    // The ASCII run may have ended close to `end` (without the windows, it
    // runs right up to it): measure further before reading a character.
    if (!terminated && end - i < kUtf8WindowReadable) continue;
    if (!utf8) return kFailed;
    uint32_t v;
    // Reads no further than the first byte that is not a continuation byte
    // and not past `end`: a window's worth lies ahead unless the text ends
    // there, and a sequence cut off by that end fails as at a terminator.
    const size_t len = DecodeUtf8Char<Utf8Rules::kCLibrary>(source + i, end - i, &v);
    if (len == 0) return kFailed;
    dest[o++] = static_cast<wchar_t>(v);
    *converted = o;
    i += len;
  }
}

}  // namespace cwbase_internal

namespace {

// mbstowcs(nullptr, source, 0): the units the whole text needs, or -1.
size_t MultiByteToWideCount(Codeset codeset, const unsigned char* source) {
  size_t count = 0;
  while (*source) {
    uint32_t v;
    const size_t len = codeset == Codeset::kUtf8
                           ? DecodeUtf8Char<Utf8Rules::kCLibrary>(source, SIZE_MAX, &v)
                           : (*source < 0x80 ? 1 : 0);
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
  return Result(WideToMultiByte(codeset, source, destSize, dest));
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
  size_t converted;
  return Result(cwbase_internal::MultiByteToWideBounded(
      codeset, s, SIZE_MAX, dest, static_cast<unsigned>(destSize), &converted));
}
