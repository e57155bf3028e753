// Conversion between wide strings, UTF-8 and the locale's multibyte encoding.
#include "cwbase/text/encoding.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// Number of bytes the character starting at `p` occupies for
// make_unicode_string: 1 below 0x80, 3 for a lead with its top three bits set,
// 2 otherwise; cut short where the terminator comes first, so neither pass
// ever steps over it.
size_t LeadLength(const unsigned char* p) {
  size_t len = *p < 0x80 ? 1 : ((*p & 0xE0) == 0xE0 ? 3 : 2);
  for (size_t k = 1; k < len; ++k)
    if (p[k] == 0) return k;
  return len;
}

// Byte k of the character at `p` (length `len`), or 0 where it was cut short.
unsigned Trail(const unsigned char* p, size_t len, size_t k) {
  return k < len ? p[k] & 0x3F : 0;
}

}  // namespace

unsigned char* make_utf8_string(const wchar_t* source) {
  size_t size = 1;
  for (const wchar_t* s = source; (*s & 0xFFFF) != 0; ++s) {
    unsigned v = static_cast<unsigned>(*s) & 0xFFFF;
    size += v < 0x80 ? 1 : (v < 0x800 ? 2 : 3);
  }
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  unsigned char* o = out;
  for (const wchar_t* s = source; (*s & 0xFFFF) != 0; ++s) {
    unsigned v = static_cast<unsigned>(*s) & 0xFFFF;
    if (v < 0x80) {
      *o++ = static_cast<unsigned char>(v);
    } else if (v < 0x800) {
      *o++ = static_cast<unsigned char>(0xC0 + (v >> 6));
      *o++ = static_cast<unsigned char>(0x80 + (v & 0x3F));
    } else {
      *o++ = static_cast<unsigned char>(0xE0 + (v >> 12));
      *o++ = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 + (v & 0x3F));
    }
  }
  *o = 0;
  return out;
}

wchar_t* make_unicode_string(const unsigned char* source) {
  size_t count = 0;
  for (const unsigned char* s = source; *s; s += LeadLength(s)) ++count;
  auto* out = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
  if (!out) return nullptr;
  wchar_t* o = out;
  for (const unsigned char* s = source; *s;) {
    size_t len = LeadLength(s);
    unsigned v;
    if (*s < 0x80) {
      v = *s;
    } else if ((*s & 0xE0) == 0xE0) {
      v = ((*s & 0x1Fu) << 12) + (Trail(s, len, 1) << 6) + Trail(s, len, 2);
    } else {
      v = ((*s & 0x3Fu) << 6) + Trail(s, len, 1);
    }
    *o++ = static_cast<wchar_t>(v);
    s += len;
  }
  *o = 0;
  return out;
}

int Utf8toWStr(wchar_t* dest, int destCapacity, char* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  int written = 0;
  auto put = [&](unsigned v) {
    if (written >= destCapacity) return false;
    dest[written++] = static_cast<wchar_t>(v);
    return true;
  };
  int expected = 0;  // continuation bytes still to come; 0: no sequence open
  unsigned value = 0;
  for (int i = 0; i < sourceLength; ++i) {
    unsigned b = static_cast<unsigned char>(source[i]);
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

int WstrtoUtf8(char* dest, int destCapacity, wchar_t* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  int written = 0;
  for (int i = 0; i < sourceLength; ++i) {
    // Compared as a signed 32-bit value (wchar_t is 32 bits wide here).
    const int32_t v = source[i];  // NOLINT(bugprone-signed-char-misuse)
    unsigned char bytes[4];
    int n;
    if (v < 0x80) {
      bytes[0] = static_cast<unsigned char>(v & 0xFF);
      n = 1;
    } else if (v < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 + (v >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 + (v & 0x3F));
      n = 2;
    } else if (v < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 + (v >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 + (v & 0x3F));
      n = 3;
    } else if (v <= 0x10FFFF) {
      bytes[0] = static_cast<unsigned char>(0xF0 + (v >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 + ((v >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 + (v & 0x3F));
      n = 4;
    } else {
      bytes[0] = '?';
      n = 1;
    }
    if (n > destCapacity - written) break;  // a character is written whole or not at all
    for (int k = 0; k < n; ++k) dest[written++] = static_cast<char>(bytes[k]);
  }
  return written;
}

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

}  // namespace

int WideCharToMultiByte(int, unsigned long, const wchar_t* source, int, char* dest, int destSize,
                        const char*, int*) {
  if (!source) return 0;
  if (!dest) return Result(std::wcstombs(nullptr, source, 0));
  return Result(std::wcstombs(dest, source, Limit(destSize, std::wcslen(source) + 1)));
}

int MultiByteToWideChar(int, unsigned long, const char* source, int, wchar_t* dest, int destSize) {
  if (!source) return 0;
  if (!dest) return Result(std::mbstowcs(nullptr, source, 0));
  return Result(std::mbstowcs(dest, source, Limit(destSize, std::strlen(source) + 1)));
}

int IsUnicodeOk() {
  return 1;
}
