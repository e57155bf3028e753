// Differential tests of the converters: the block-copying versions against
// plain one-character-at-a-time versions kept here, and the Windows-style pair
// against the C library's wcstombs/mbstowcs in every locale at hand, over many
// random inputs, every cut point and every destination size.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"

namespace {

using std::string;
using std::wstring;

// ---- Straightforward versions, one unit or byte at a time.

unsigned char* RefMakeUtf8(const wchar_t* source) {
  size_t size = 1;
  for (const wchar_t* s = source; (*s & 0xFFFF) != 0; ++s) {
    unsigned v = static_cast<unsigned>(*s) & 0xFFFF;
    size += v < 0x80 ? 1 : (v < 0x800 ? 2 : 3);
  }
  auto* out = static_cast<unsigned char*>(std::malloc(size));
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

size_t RefLeadLength(const unsigned char* p) {
  size_t len = *p < 0x80 ? 1 : ((*p & 0xE0) == 0xE0 ? 3 : 2);
  for (size_t k = 1; k < len; ++k)
    if (p[k] == 0) return k;
  return len;
}

wchar_t* RefMakeUnicode(const unsigned char* source) {
  size_t count = 0;
  for (const unsigned char* s = source; *s; s += RefLeadLength(s)) ++count;
  auto* out = static_cast<wchar_t*>(std::malloc((count + 1) * sizeof(wchar_t)));
  wchar_t* o = out;
  for (const unsigned char* s = source; *s;) {
    size_t len = RefLeadLength(s);
    auto trail = [&](size_t k) { return k < len ? s[k] & 0x3Fu : 0u; };
    unsigned v;
    if (*s < 0x80)
      v = *s;
    else if ((*s & 0xE0) == 0xE0)
      v = ((*s & 0x1Fu) << 12) + (trail(1) << 6) + trail(2);
    else
      v = ((*s & 0x3Fu) << 6) + trail(1);
    *o++ = static_cast<wchar_t>(v);
    s += len;
  }
  *o = 0;
  return out;
}

int RefUtf8toWStr(wchar_t* dest, int destCapacity, const char* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  int written = 0;
  auto put = [&](unsigned v) {
    if (written >= destCapacity) return false;
    dest[written++] = static_cast<wchar_t>(v);
    return true;
  };
  int expected = 0;
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
    } else if (b < 0xF8) {
      value = b & (b < 0xE0 ? 0x1F : (b < 0xF0 ? 0x0F : 0x07));
      expected = b < 0xE0 ? 1 : (b < 0xF0 ? 2 : 3);
    } else {
      expected = 0;
      if (!put('?')) return written;
    }
  }
  if (expected) put('?');
  return written;
}

int RefWstrtoUtf8(char* dest, int destCapacity, const wchar_t* source, int sourceLength) {
  if (!dest || !source || sourceLength <= 0 || destCapacity <= 0) return 0;
  int written = 0;
  for (int i = 0; i < sourceLength; ++i) {
    const int32_t v = source[i];  // NOLINT(bugprone-signed-char-misuse): a 32-bit unit
    unsigned char bytes[4];
    int n;
    if (v < 0x80) {
      bytes[0] = static_cast<unsigned char>(v & 0xFF), n = 1;
    } else if (v < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 + (v >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 + (v & 0x3F)), n = 2;
    } else if (v < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 + (v >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 + (v & 0x3F)), n = 3;
    } else if (v <= 0x10FFFF) {
      bytes[0] = static_cast<unsigned char>(0xF0 + (v >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 + ((v >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 + ((v >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 + (v & 0x3F)), n = 4;
    } else {
      bytes[0] = '?', n = 1;
    }
    if (n > destCapacity - written) break;
    for (int k = 0; k < n; ++k) dest[written++] = static_cast<char>(bytes[k]);
  }
  return written;
}

// ---- Random texts: long ASCII runs (the block copies), every byte value,
// well-formed and broken UTF-8 of every length, and wide units from every
// class the converters tell apart.

struct Random {
  std::mt19937 gen{12345};
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(gen); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
};

void AppendUtf8(string& s, uint32_t v, int len) {
  static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
  if (len == 1) {
    s += static_cast<char>(v & 0x7F);
    return;
  }
  string tail;
  for (int k = 1; k < len; ++k, v >>= 6)
    tail.insert(tail.begin(), static_cast<char>(0x80 | (v & 0x3F)));
  s += static_cast<char>(kLead[len] | (v & (0x7F >> len)));
  s += tail;
}

// Bytes without a zero byte unless `zeros`. Text: mostly well-formed UTF-8
// with a rare flaw (the converters' fast paths); otherwise anything goes.
string RandomBytes(Random& r, size_t maxLength, bool zeros, bool text = false) {
  string s;
  size_t length = r.Below(static_cast<uint32_t>(maxLength) + 1);
  while (s.size() < length) {
    if (text) {
      uint32_t kind = r.Below(40);
      if (kind < 20)
        s += static_cast<char>(1 + r.Below(127));
      else if (kind < 28)
        AppendUtf8(s, 0x80 + r.Below(0x780), 2);
      else if (kind < 36)
        AppendUtf8(s, 0x800 + r.Below(0xD000), 3);
      else if (kind < 39)
        AppendUtf8(s, 0x10000 + r.Below(0x100000), 4);
      else if (r.OneIn(3))
        s += static_cast<char>(r.Below(256));
      else if (r.OneIn(2))
        AppendUtf8(s, 0xD800 + r.Below(0x800), 3);  // surrogate
      else
        AppendUtf8(s, r.Below(0x80), 2 + static_cast<int>(r.Below(3)));  // overlong
      continue;
    }
    switch (r.Below(6)) {
      case 0:
      case 1:
        for (uint32_t k = r.Below(40); k > 0; --k) s += static_cast<char>(1 + r.Below(127));
        break;
      case 2: {
        int len = 2 + static_cast<int>(r.Below(5));
        uint32_t bits = len == 2 ? 11 : 5 * static_cast<uint32_t>(len) + 1;
        AppendUtf8(s, r.Below(1u << bits) | (r.OneIn(4) ? 0 : 1u << (bits - 1 - r.Below(2))), len);
        if (r.OneIn(8)) s.pop_back();  // cut short
        break;
      }
      case 3:
        AppendUtf8(s, 0xD800 + r.Below(0x800), 3);  // surrogate
        break;
      default:
        s += static_cast<char>(r.Below(256));
    }
  }
  s.resize(length);
  if (!zeros)
    for (char& c : s)
      if (c == 0) c = 'z';
  return s;
}

uint32_t RandomUnit(Random& r) {
  static const uint32_t kEdges[] = {
      0x7F,       0x80,       0x7FF,    0x800,    0xD7FF,   0xD800,     0xDFFF,    0xE000,
      0xFFFF,     0x10000,    0x10FFFF, 0x110000, 0x1FFFFF, 0x200000,   0x3FFFFFF, 0x4000000,
      0x7FFFFFFF, 0x80000000, 0xE0000,  0xE007F,  0xE0080,  0xFFFFFFFF, 0x20000,   0x10041};
  switch (r.Below(10)) {
    case 0:
      return 0x80 + r.Below(0x780);
    case 1:
      return 0x800 + r.Below(0xF800);
    case 2:
      return 0x10000 + r.Below(0x100000);
    case 3:
      return kEdges[r.Below(sizeof kEdges / sizeof kEdges[0])];
    case 4:
      return static_cast<uint32_t>(r.gen());
    case 5:
      return 0xE0000 + r.Below(0x100);
    default:
      return 1 + r.Below(127);
  }
}

// Units without a zero unit unless `zeros`; runs of ASCII for the block
// copies. Text: mostly units below 0x10000, a rare one from anywhere.
wstring RandomWide(Random& r, size_t maxLength, bool zeros, bool text = false) {
  wstring s;
  size_t length = r.Below(static_cast<uint32_t>(maxLength) + 1);
  while (s.size() < length) {
    if (text) {
      uint32_t kind = r.Below(100);
      s += static_cast<wchar_t>(kind < 50   ? 1 + r.Below(127)
                                : kind < 70 ? 0x80 + r.Below(0x780)
                                : kind < 98 ? 0x800 + r.Below(0xF800)
                                            : RandomUnit(r));
    } else if (r.OneIn(3))
      for (uint32_t k = r.Below(40); k > 0; --k) s += static_cast<wchar_t>(1 + r.Below(127));
    else
      s += static_cast<wchar_t>(RandomUnit(r));
  }
  s.resize(length);
  for (wchar_t& c : s)
    if (c == 0 && !zeros) c = L'z';
  return s;
}

// A malloc'ed result, released with free().
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
std::unique_ptr<T[]> HeapCopy(const T* data, size_t n) {
  std::unique_ptr<T[]> p(new T[n]);
  if (n) std::memcpy(p.get(), data, n * sizeof(T));
  return p;
}

// ---- The library's own converters against the plain versions.

TEST(EncodingDiff, MakeStringsMatchPlainVersions) {
  Random r;
  for (int round = 0; round < 3000; ++round) {
    string bytes = RandomBytes(r, round < 2000 ? 40 : 400, false, round % 2);
    auto src = HeapCopy(reinterpret_cast<const unsigned char*>(bytes.c_str()), bytes.size() + 1);
    Malloced<wchar_t> got(make_unicode_string(src.get())), want(RefMakeUnicode(src.get()));
    ASSERT_EQ(wstring(got.get()), wstring(want.get())) << round;

    // The text ends at the first unit whose low 16 bits are zero: sometimes a
    // unit like 0x20000, with nothing readable after it.
    wstring wide = RandomWide(r, round < 2000 ? 40 : 400, false, round % 2);
    for (wchar_t& c : wide)
      if ((c & 0xFFFF) == 0) c = L'q';
    wide += static_cast<wchar_t>(r.OneIn(2) ? 0 : 0x10000u << r.Below(15));
    auto wsrc = HeapCopy(wide.data(), wide.size());
    Malloced<unsigned char> got8(make_utf8_string(wsrc.get())), want8(RefMakeUtf8(wsrc.get()));
    ASSERT_STREQ(reinterpret_cast<char*>(got8.get()), reinterpret_cast<char*>(want8.get()))
        << round;
  }
}

TEST(EncodingDiff, CountedConvertersMatchPlainVersionsAtEveryCapacity) {
  Random r;
  for (int round = 0; round < 1500; ++round) {
    string bytes = RandomBytes(r, round < 1000 ? 24 : 200, true, round % 2);
    const int n = static_cast<int>(bytes.size());
    auto src = HeapCopy(bytes.data(), bytes.size());
    std::vector<int> capacities = {0, 1, n - 1, n, n + 1};
    for (int c = 2; c < n && round < 1000; ++c) capacities.push_back(c);
    for (int cap : capacities) {
      if (cap < 0) continue;
      wstring got(static_cast<size_t>(n) + 2, 0x5A5A), want = got;
      ASSERT_EQ(Utf8toWStr(&got[0], cap, src.get(), n), RefUtf8toWStr(&want[0], cap, src.get(), n));
      ASSERT_EQ(got, want) << round << " capacity " << cap;
    }

    wstring wide = RandomWide(r, round < 1000 ? 24 : 200, true, round % 2);
    const int m = static_cast<int>(wide.size());
    auto wsrc = HeapCopy(wide.data(), wide.size());
    capacities = {0, 1, 4 * m - 1, 4 * m, 4 * m + 1};
    for (int c = 2; c < 4 * m && round < 1000; ++c) capacities.push_back(c);
    for (int cap : capacities) {
      if (cap < 0) continue;
      string got(4 * static_cast<size_t>(m) + 2, 'Z'), want = got;
      ASSERT_EQ(WstrtoUtf8(&got[0], cap, wsrc.get(), m),
                RefWstrtoUtf8(&want[0], cap, wsrc.get(), m));
      ASSERT_EQ(got, want) << round << " capacity " << cap;
    }
  }
}

// ---- The Windows-style pair against the C library in each locale.

struct LocaleGuard {
  explicit LocaleGuard(const char* name) : saved(std::setlocale(LC_ALL, nullptr)) {
    ok = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
  string saved;
  bool ok;
};

// Compares one conversion each way at every destination size from -1 to
// length + 2, and with a null destination.
string Hex(const wstring& w) {
  string s;
  char unit[16];
  for (wchar_t c : w) std::snprintf(unit, sizeof unit, " %X", static_cast<unsigned>(c)), s += unit;
  return s;
}

string Hex(const string& b) {
  string s;
  char unit[8];
  for (char c : b)
    std::snprintf(unit, sizeof unit, " %02X", static_cast<unsigned char>(c)), s += unit;
  return s;
}

// The destination sizes to try for a text of n: all of them for short texts;
// for long ones the small, the ends and a spread between.
std::vector<int> Sizes(size_t n) {
  std::vector<int> sizes;
  const int last = static_cast<int>(n) + 2;
  for (int size = -1; size <= last; size += size < 8 || size > last - 8 || n < 400 ? 1 : 97)
    sizes.push_back(size);
  return sizes;
}

void CompareWithCLibrary(const wstring& wide, const string& bytes, const char* where) {
  const size_t n = wide.size();
  auto wsrc = HeapCopy(wide.c_str(), n + 1);
  ASSERT_EQ(WideCharToMultiByte(0, 0, wsrc.get(), -1, nullptr, 0, nullptr, nullptr),
            static_cast<int>(std::wcstombs(nullptr, wsrc.get(), 0)))
      << where;
  for (int size : Sizes(n)) {
    size_t limit = static_cast<unsigned>(size) < n + 1 ? static_cast<unsigned>(size) : n + 1;
    // One byte in front: when an ASCII locale drops every unit it looks at,
    // the C library reads the byte before the destination (and asserts it is
    // not zero); the result is then 0.
    string got(8 * n + 8, 'Z'), want = got;
    int result = WideCharToMultiByte(0, 0, wsrc.get(), -1, &got[1], size, "", nullptr);
    ASSERT_EQ(result, static_cast<int>(std::wcstombs(&want[1], wsrc.get(), limit)))
        << where << " size " << size << ":" << Hex(wide);
    ASSERT_EQ(got, want) << where << " size " << size << ":" << Hex(wide);
  }

  const size_t m = bytes.size();
  auto src = HeapCopy(bytes.c_str(), m + 1);
  ASSERT_EQ(MultiByteToWideChar(0, 0, src.get(), -1, nullptr, 0),
            static_cast<int>(std::mbstowcs(nullptr, src.get(), 0)))
      << where;
  for (int size : Sizes(m)) {
    size_t limit = static_cast<unsigned>(size) < m + 1 ? static_cast<unsigned>(size) : m + 1;
    wstring got(m + 8, 0x5A5A), want = got;
    int result = MultiByteToWideChar(0, 0, src.get(), -1, &got[0], size);
    ASSERT_EQ(result, static_cast<int>(std::mbstowcs(&want[0], src.get(), limit)))
        << where << " size " << size << ":" << Hex(bytes);
    ASSERT_EQ(got, want) << where << " size " << size << ":" << Hex(bytes);
  }
}

TEST(EncodingDiff, WindowsPairMatchesCLibraryInEveryLocale) {
  const char* const kLocales[] = {"C.UTF-8",          "C",           "POSIX", "en_US.UTF-8",
                                  "en_US.ISO-8859-1", "ja_JP.EUC-JP"};
  int tested = 0;
  for (const char* name : kLocales) {
    LocaleGuard guard(name);
    if (!guard.ok) continue;  // not generated on this machine
    ++tested;
    Random r;
    for (int round = 0; round < 600; ++round) {
      wstring wide = RandomWide(r, round < 500 ? 24 : 160, false, round % 4 > 1);
      string bytes = RandomBytes(r, round < 500 ? 24 : 160, false, round % 4 > 1);
      // Text the locale can convert exactly: whole conversions as well as failures.
      if (round % 2) {
        for (wchar_t& c : wide)
          if (static_cast<uint32_t>(c) >= 0x80 &&
              (std::wcstombs(nullptr, wstring(1, c).c_str(), 0) == static_cast<size_t>(-1)))
            c = L'x';
        string clean;
        for (size_t i = 0; i < bytes.size();) {
          int len = std::mblen(bytes.c_str() + i, bytes.size() - i);
          if (len <= 0) {
            std::mblen(nullptr, 0);
            clean += 'y', ++i;
          } else {
            clean.append(bytes, i, static_cast<size_t>(len)), i += static_cast<size_t>(len);
          }
        }
        bytes = clean;
      }
      CompareWithCLibrary(wide, bytes, name);
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GE(tested, 2);  // C.UTF-8 and C at least
}

// Long well-formed text with one flaw at a random place: the windows of whole
// characters must hand every flaw to the one-at-a-time rules.
TEST(EncodingDiff, OneFlawInLongTextMatchesCLibrary) {
  const string kFlaws[] = {"\xC0\x80",
                           "\xC1\xBF",
                           "\xE0\x80\x80",
                           "\xE0\x9F\xBF",
                           "\xF0\x80\x80\x80",
                           "\xF0\x8F\xBF\xBF",
                           "\xED\xA0\x80",
                           "\xED\xBF\xBF",
                           "\xF8\x88\x80\x80\x80",
                           "\xFC\x84\x80\x80\x80\x80",
                           "\xFE",
                           "\xFF",
                           "\x80",
                           "\xC3",
                           "\xE2\x82",
                           "\xF4\x90\x80\x80"};
  for (const char* name : {"C.UTF-8", "C"}) {
    LocaleGuard guard(name);
    ASSERT_TRUE(guard.ok) << name;
    Random r;
    for (int round = 0; round < 240; ++round) {
      // Every sixth text is long, its flaw near a multiple of 4096 bytes
      // (where the conversion measures the text further).
      const bool longText = round % 6 == 5;
      string text;
      wstring wide;
      while (text.size() < (longText ? 9000 : 100) + r.Below(100)) {
        uint32_t v = r.OneIn(2) ? 0x20 + r.Below(0x5F) : 0x80 + r.Below(0xD000);
        AppendUtf8(text, v, v < 0x80 ? 1 : (v < 0x800 ? 2 : 3));
        wide += static_cast<wchar_t>(v);
      }
      string flawed = text;
      size_t at = longText ? 4096 * (1 + r.Below(2)) - 80 + r.Below(160)
                           : r.Below(static_cast<uint32_t>(text.size()));
      while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
      flawed.insert(at, kFlaws[round % (sizeof kFlaws / sizeof kFlaws[0])]);
      wide.insert(r.Below(static_cast<uint32_t>(wide.size())), 1,
                  static_cast<wchar_t>(r.OneIn(2) ? 0xD800 + r.Below(0x800) : RandomUnit(r)));
      CompareWithCLibrary(wide, flawed, name);
      if (HasFatalFailure()) return;
      // The same flaws through the library's own converter, which decodes them.
      wstring got(flawed.size() + 1, 0x5A5A), want = got;
      int n = static_cast<int>(flawed.size());
      ASSERT_EQ(Utf8toWStr(&got[0], n, &flawed[0], n),
                RefUtf8toWStr(&want[0], n, flawed.data(), n));
      ASSERT_EQ(got, want);
    }
  }
}

// Every character of one, two and three bytes, and each longer lead with every
// second byte, read alone and between ASCII letters.
TEST(EncodingDiff, EveryShortSequenceMatchesCLibrary) {
  for (const char* name : {"C.UTF-8", "C"}) {
    LocaleGuard guard(name);
    ASSERT_TRUE(guard.ok) << name;
    auto check = [&](const string& seq) {
      for (const string& text : {seq, "a" + seq + "b"}) {
        wchar_t got[16], want[16];
        for (int k = 0; k < 16; ++k) got[k] = want[k] = 0x5A5A;
        int result = MultiByteToWideChar(0, 0, text.c_str(), -1, got, 16);
        ASSERT_EQ(result, static_cast<int>(std::mbstowcs(want, text.c_str(), text.size() + 1)))
            << name;
        ASSERT_EQ(std::memcmp(got, want, sizeof got), 0) << name;
      }
    };
    for (unsigned a = 1; a < 256; ++a) {
      // Continuation bytes a lead of 4 to 6 bytes needs after the third.
      size_t more = a < 0xF0 ? 0 : (a < 0xF8 ? 1 : (a < 0xFC ? 2 : 3));
      for (unsigned b = 1; b < 256; ++b) {
        string two{static_cast<char>(a), static_cast<char>(b)};
        check(two);
        if (a < 0xE0) continue;
        for (unsigned c : {0x41u, 0x80u, 0x9Fu, 0xA0u, 0xBFu, 0xC0u})
          check(two + static_cast<char>(c) + string(more, static_cast<char>(0x80 + (b & 0x3F))));
      }
      if (HasFatalFailure()) return;
    }
    for (uint32_t v = 1; v < 0x110000; v += v < 0x20000 ? 1 : 97) {
      wchar_t text[] = {L'a', static_cast<wchar_t>(v), L'b', 0};
      for (int size : {2, 3, 4, 8}) {
        char got[16], want[16];
        std::memset(got, 'Z', sizeof got), std::memset(want, 'Z', sizeof want);
        ASSERT_EQ(
            WideCharToMultiByte(0, 0, text, -1, got, size, "", nullptr),
            static_cast<int>(std::wcstombs(want, text, size < 4 ? static_cast<size_t>(size) : 4)))
            << std::hex << v;
        ASSERT_EQ(std::memcmp(got, want, sizeof got), 0) << std::hex << v;
      }
    }
  }
}

}  // namespace
