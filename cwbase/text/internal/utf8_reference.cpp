// The reference UTF-8 converters: one character at a time, two passes for
// the make_ pair, a room check before every unit or byte of the counted pair.
#include "cwbase/text/internal/utf8_reference.h"

#include <cstdlib>

namespace cwbase_internal {

unsigned char* ReferenceMakeUtf8String(const wchar_t* source) {
  // Only the low 16 bits of each unit count; the text ends at the first unit
  // whose low 16 bits are zero.
  unsigned char bytes[kMaxUtf8Unit];
  size_t size = 1;
  for (const wchar_t* s = source; (*s & 0xFFFF) != 0; ++s)
    size += ReferenceEncodeUtf8(*s & 0xFFFF, bytes);
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  unsigned char* o = out;
  for (const wchar_t* s = source; (*s & 0xFFFF) != 0; ++s) o += ReferenceEncodeUtf8(*s & 0xFFFF, o);
  *o = 0;
  return out;
}

wchar_t* ReferenceMakeUnicodeString(const unsigned char* source) {
  unsigned value;
  size_t count = 0;
  for (const unsigned char* s = source; *s; s += ReferenceUnicodeCharacter(s, &value)) ++count;
  auto* out = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
  if (!out) return nullptr;
  wchar_t* o = out;
  for (const unsigned char* s = source; *s; ++o) {
    s += ReferenceUnicodeCharacter(s, &value);
    *o = static_cast<wchar_t>(value);
  }
  *o = 0;
  return out;
}

int ReferenceUtf8toWStr(wchar_t* dest, int destCapacity, const char* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  ReferenceUtf8Reader reader;
  wchar_t units[2];
  int written = 0;
  for (int i = 0; i < sourceLength; ++i) {
    const int k = reader.Feed(static_cast<unsigned char>(source[i]), units);
    for (int j = 0; j < k; ++j) {
      if (written == destCapacity) return written;
      dest[written++] = units[j];
    }
  }
  if (reader.Finish(units) && written < destCapacity) dest[written++] = units[0];
  return written;
}

int ReferenceWstrtoUtf8(char* dest, int destCapacity, const wchar_t* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  int written = 0;
  for (int i = 0; i < sourceLength; ++i) {
    unsigned char bytes[kMaxUtf8Unit];
    const auto n = static_cast<int>(ReferenceEncodeUtf8(source[i], bytes));
    if (n > destCapacity - written) break;  // a character whole or not at all
    for (int k = 0; k < n; ++k) dest[written++] = static_cast<char>(bytes[k]);
  }
  return written;
}

size_t ReferenceStrictUtf8(const unsigned char* s, size_t avail, size_t maxLength,
                           uint32_t maxValue, uint32_t* value) {
  size_t length = 0;
  while (length < 8 && (s[0] & (0x80u >> length)) != 0) ++length;
  if (length == 0) {
    *value = s[0];
    return 1;
  }
  if (length == 1 || length > maxLength) return 0;  // a continuation byte, or too long
  uint32_t v = s[0] & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    if (k >= avail || s[k] >> 6 != 2) return 0;
    v = v * 64 + (s[k] & 0x3Fu);
  }
  // Payload bits of each length: 7, 11, 16, 21, 26, 31. A value that fits
  // in the next shorter length is an overlong form.
  static const unsigned kBits[] = {0, 7, 11, 16, 21, 26, 31};
  if (v < (uint32_t{1} << kBits[length - 1])) return 0;
  if (v > maxValue || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *value = v;
  return length;
}

}  // namespace cwbase_internal
