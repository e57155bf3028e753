// Small stateless helpers on wide strings, 8-bit strings and byte runs.
#include "cwbase/text/strhelp.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <new>

#include "cwbase/core/internal/wide_format.h"

namespace {

size_t Length(const char* s) {
  return std::strlen(s);
}
size_t Length(const wchar_t* s) {
  return std::wcslen(s);
}

// The shared trim: copies the string without its leading trim units into a
// cleared temporary, zeroes its trailing trim units, then clears the caller's
// string over its old length + 1 units and copies the result back.
template <typename Char, typename IsTrim>
void Trim(Char* str, IsTrim isTrim) {
  if (!str) return;
  size_t len = Length(str);
  Char* tmp;
  try {
    tmp = new Char[len + 1]();
  } catch (const std::bad_alloc&) {
    return;
  }
  size_t i = 0;
  while (i < len && isTrim(str[i])) ++i;
  size_t n = 0;
  for (; i < len; ++i) tmp[n++] = str[i];
  while (n > 0 && isTrim(tmp[n - 1])) tmp[--n] = 0;
  std::memset(str, 0, (len + 1) * sizeof(Char));
  std::memcpy(str, tmp, n * sizeof(Char));
  delete[] tmp;
}

}  // namespace

int _unsafe_swprintf(wchar_t* dest, const wchar_t* format, ...) {
  if (!dest || !format) return 0;
  va_list args;
  va_start(args, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above
  cwbase_internal::FormatWideV(dest, format, args);
  va_end(args);
  return 0;
}

void TraceOut(const wchar_t* format, ...) {
  if (!format) return;
  wchar_t message[4096];
  va_list args;
  va_start(args, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above
  std::vswprintf(message, 4096, format, args);
  va_end(args);
  // Trace text has no destination on this platform: it is dropped here.
}

void ZeroIt(void* buffer, int size) {
  if (buffer && size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
}

unsigned char* memmem(unsigned char* haystack, unsigned char* pattern, int haystackLength,
                      int patternLength) {
  if (!haystack || haystackLength < 0 || patternLength < 0) return nullptr;
  if (patternLength == 0) return haystack;
  if (!pattern || patternLength > haystackLength) return nullptr;
  for (int p = 0; p <= haystackLength - patternLength; ++p)
    if (std::memcmp(haystack + p, pattern, static_cast<size_t>(patternLength)) == 0)
      return haystack + p;
  return nullptr;
}

void _stprintfbytes(wchar_t* dest, unsigned char* bytes, int count) {
  if (!dest || !bytes || count <= 0) return;
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int i = 0; i < count; ++i) {
    *dest++ = kDigits[bytes[i] >> 4];
    *dest++ = kDigits[bytes[i] & 0x0F];
  }
}

void strtrim(char* str, char trim) {
  Trim(str, [trim](char c) { return c == trim; });
}

void _tcstrim(wchar_t* str, wchar_t trim) {
  Trim(str, [trim](wchar_t c) { return c == trim; });
}

void _tcstrimmulti(wchar_t* str, const wchar_t* trimSet) {
  if (!trimSet) return;
  // Only units inside the string are tested, never its terminator, so the
  // terminator that wcschr would find in the set never matches.
  Trim(str, [trimSet](wchar_t c) { return std::wcschr(trimSet, c) != nullptr; });
}

void GetCmdLineParam(const wchar_t* commandLine, const wchar_t* name, wchar_t* dest,
                     long capacity) {
  if (!commandLine || !name || !dest || capacity <= 0) return;
  const wchar_t* found = std::wcsstr(commandLine, name);
  if (!found) return;
  const wchar_t* value = found + std::wcslen(name);
  wchar_t close = L' ';
  if (*value == L'"') {
    close = L'"';
    ++value;
  }
  const wchar_t* end = std::wcschr(value, close);
  size_t len = end ? static_cast<size_t>(end - value) : std::wcslen(value);
  if (len > static_cast<unsigned long>(capacity)) len = static_cast<size_t>(capacity);
  std::wmemcpy(dest, value, len);  // NOLINT(bugprone-not-null-terminated-result): by design
}

namespace {

// Position of the first '.' in `s`, or its length when it has none.
size_t DecimalPosition(const wchar_t* s) {
  const wchar_t* dot = std::wcschr(s, L'.');
  return dot ? static_cast<size_t>(dot - s) : std::wcslen(s);
}

// Fill from the left: '#' takes the next text unit; a literal is written and
// also consumes the text unit that equals it. Stops when the text or the mask
// ends, or after `room` units.
void FillFromLeft(wchar_t* dest, size_t room, const wchar_t* text, const wchar_t* mask) {
  size_t t = 0;
  for (size_t o = 0; mask[o] && text[t] && o < room; ++o) {
    if (mask[o] == L'#') {
      dest[o] = text[t++];
    } else {
      dest[o] = mask[o];
      if (text[t] == mask[o]) ++t;
    }
  }
}

// Align on the decimal point. The integer part is laid into the mask from the
// right; mask places left of the point where the text's integer part has run
// out are removed. What stays of the integer part is therefore the run of mask
// places [first, maskDot), so mask place m lands at output position m - first,
// followed by the text's fraction cut at the mask's length. Output positions
// at or beyond `room` are not written.
void AlignOnDecimal(wchar_t* dest, size_t room, const wchar_t* text, const wchar_t* mask) {
  size_t maskLen = std::wcslen(mask);
  size_t maskDot = DecimalPosition(mask);
  size_t textDot = DecimalPosition(text);

  // First walk: find the leftmost mask place that survives.
  size_t first = maskDot;
  for (size_t m = maskDot, t = textDot; m > 0 && t > 0; --m) {
    first = m - 1;
    if (mask[m - 1] == L'#' || text[t - 1] == mask[m - 1]) --t;
  }
  // Second walk, same steps: write the surviving places.
  for (size_t m = maskDot, t = textDot; m > first; --m) {
    wchar_t unit = mask[m - 1];
    if (unit == L'#') {
      unit = text[--t];
    } else if (text[t - 1] == unit) {
      --t;
    }
    if (m - 1 - first < room) dest[m - 1 - first] = unit;
  }
  // Fraction, the point included, from the text; zeros once the text ends.
  size_t o = maskDot - first;
  for (size_t j = maskDot, i = textDot; j < maskLen && text[i]; ++j, ++i, ++o)
    if (o < room) dest[o] = text[i];
}

}  // namespace

void MaskText(wchar_t* dest, unsigned long capacity, const wchar_t* text, const wchar_t* mask,
              unsigned long mode) {
  if (!text || !dest) return;
  if (capacity != 0) std::wmemset(dest, 0, capacity);
  if (!mask || !*mask) {
    std::wcsncpy(dest, text, capacity);
    return;
  }
  if (capacity == 0) return;
  size_t room = capacity - 1;  // keeps the cleared terminator in place
  if (mode == 0 || mode == 3) {
    FillFromLeft(dest, room, text, mask);
  } else if (mode == 1) {
    AlignOnDecimal(dest, room, text, mask);
  }
}
