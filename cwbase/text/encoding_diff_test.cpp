// Differential tests of the converters over many random inputs, every cut
// point and every destination size: the UTF-8 converters against their
// reference versions (internal/utf8_reference.h), and the Windows-style pair
// against the C library's wcstombs/mbstowcs in every locale at hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/text/internal/utf8_reference.h"
#include "testing/random.h"
#include "testing/scopes.h"

namespace {

using std::string;
using std::wstring;

// ---- Random texts: long ASCII runs (the block copies), every byte value,
// well-formed and broken UTF-8 of every length, and wide units from every
// class the converters tell apart.

constexpr uint64_t kSeed = 12345;

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

// A string of a random length up to maxLength, grown piece by piece by
// `grow` and cut to that length; zero units become 'z' unless `zeros`.
template <typename Str, typename Grow>
Str RandomString(CWTestRandom& r, size_t maxLength, bool zeros, Grow grow) {
  Str s;
  const size_t length = r.Below(static_cast<uint32_t>(maxLength) + 1);
  while (s.size() < length) grow(s);
  s.resize(length);
  if (!zeros)
    for (auto& c : s)
      if (c == 0) c = 'z';
  return s;
}

// Bytes without a zero byte unless `zeros`. Text: mostly well-formed UTF-8
// with a rare flaw (the converters' fast paths); otherwise anything goes.
string RandomBytes(CWTestRandom& r, size_t maxLength, bool zeros, bool text = false) {
  return RandomString<string>(r, maxLength, zeros, [&](string& s) {
    if (text) {
      const uint32_t kind = r.Below(40);
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
      return;
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
  });
}

uint32_t RandomUnit(CWTestRandom& r) {
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
      return r.Next();
    case 5:
      return 0xE0000 + r.Below(0x100);
    default:
      return 1 + r.Below(127);
  }
}

// Units without a zero unit unless `zeros`; runs of ASCII for the block
// copies. Text: mostly units below 0x10000, a rare one from anywhere.
wstring RandomWide(CWTestRandom& r, size_t maxLength, bool zeros, bool text = false) {
  return RandomString<wstring>(r, maxLength, zeros, [&](wstring& s) {
    if (text) {
      const uint32_t kind = r.Below(100);
      s += static_cast<wchar_t>(kind < 50   ? 1 + r.Below(127)
                                : kind < 70 ? 0x80 + r.Below(0x780)
                                : kind < 98 ? 0x800 + r.Below(0xF800)
                                            : RandomUnit(r));
    } else if (r.OneIn(3)) {
      for (uint32_t k = r.Below(40); k > 0; --k) s += static_cast<wchar_t>(1 + r.Below(127));
    } else {
      s += static_cast<wchar_t>(RandomUnit(r));
    }
  });
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

// ---- The library's own converters against their reference versions.

using cwbase_internal::ReferenceMakeUnicodeString;
using cwbase_internal::ReferenceMakeUtf8String;
using cwbase_internal::ReferenceUtf8toWStr;
using cwbase_internal::ReferenceWstrtoUtf8;

TEST(EncodingDiff, MakeStringsMatchReference) {
  CWTestRandom r(kSeed);
  for (int round = 0; round < 3000; ++round) {
    string bytes = RandomBytes(r, round < 2000 ? 40 : 400, false, round % 2);
    auto src = HeapCopy(reinterpret_cast<const unsigned char*>(bytes.c_str()), bytes.size() + 1);
    Malloced<wchar_t> got(make_unicode_string(src.get()));
    Malloced<wchar_t> want(ReferenceMakeUnicodeString(src.get()));
    ASSERT_EQ(wstring(got.get()), wstring(want.get())) << round;

    // The text ends at the first unit whose low 16 bits are zero: sometimes a
    // unit like 0x20000, with nothing readable after it.
    wstring wide = RandomWide(r, round < 2000 ? 40 : 400, false, round % 2);
    for (wchar_t& c : wide)
      if ((c & 0xFFFF) == 0) c = L'q';
    wide += static_cast<wchar_t>(r.OneIn(2) ? 0 : 0x10000u << r.Below(15));
    auto wsrc = HeapCopy(wide.data(), wide.size());
    Malloced<unsigned char> got8(make_utf8_string(wsrc.get()));
    Malloced<unsigned char> want8(ReferenceMakeUtf8String(wsrc.get()));
    ASSERT_STREQ(reinterpret_cast<char*>(got8.get()), reinterpret_cast<char*>(want8.get()))
        << round;
  }
}

// The bytes WstrtoUtf8 writes for one unit.
size_t Utf8Length(wchar_t unit) {
  const int32_t v = unit;  // NOLINT(bugprone-signed-char-misuse): a 32-bit unit
  return v < 0x80 ? 1 : v < 0x800 ? 2 : v < 0x10000 ? 3 : v <= 0x10FFFF ? 4 : 1;
}

// Every capacity, against the reference and against the converter's own
// whole result: a smaller capacity keeps the first units of that result
// (Utf8toWStr) or its first whole characters (WstrtoUtf8) and writes nothing
// past them.
TEST(EncodingDiff, CountedConvertersMatchReferenceAtEveryCapacity) {
  CWTestRandom r(kSeed);
  for (int round = 0; round < 1500; ++round) {
    string bytes = RandomBytes(r, round < 1000 ? 24 : 200, true, round % 2);
    const int n = static_cast<int>(bytes.size());
    auto src = HeapCopy(bytes.data(), bytes.size());
    wstring whole(static_cast<size_t>(n) + 2, 0x5A5A);
    const int total = Utf8toWStr(&whole[0], n, src.get(), n);
    std::vector<int> capacities = {0, 1, n - 1, n, n + 1};
    for (int c = 2; c < n && round < 1000; ++c) capacities.push_back(c);
    for (int cap : capacities) {
      if (cap < 0) continue;
      wstring got(whole.size(), 0x5A5A), want = got;
      const int result = Utf8toWStr(&got[0], cap, src.get(), n);
      ASSERT_EQ(result, ReferenceUtf8toWStr(&want[0], cap, src.get(), n));
      ASSERT_EQ(got, want) << round << " capacity " << cap;
      const auto kept = static_cast<size_t>(cap < total ? cap : total);
      ASSERT_EQ(static_cast<size_t>(result), kept) << round << " capacity " << cap;
      ASSERT_EQ(got.substr(0, kept), whole.substr(0, kept)) << round << " capacity " << cap;
      ASSERT_EQ(got.substr(kept), wstring(got.size() - kept, 0x5A5A));
    }

    wstring wide = RandomWide(r, round < 1000 ? 24 : 200, true, round % 2);
    const int m = static_cast<int>(wide.size());
    auto wsrc = HeapCopy(wide.data(), wide.size());
    string whole8(4 * static_cast<size_t>(m) + 2, 'Z');
    WstrtoUtf8(&whole8[0], 4 * m, wsrc.get(), m);
    capacities = {0, 1, 4 * m - 1, 4 * m, 4 * m + 1};
    for (int c = 2; c < 4 * m && round < 1000; ++c) capacities.push_back(c);
    for (int cap : capacities) {
      if (cap < 0) continue;
      string got(whole8.size(), 'Z'), want = got;
      const int result = WstrtoUtf8(&got[0], cap, wsrc.get(), m);
      ASSERT_EQ(result, ReferenceWstrtoUtf8(&want[0], cap, wsrc.get(), m));
      ASSERT_EQ(got, want) << round << " capacity " << cap;
      size_t kept = 0;
      for (size_t i = 0; i < wide.size() && kept + Utf8Length(wide[i]) <= static_cast<size_t>(cap);
           ++i)
        kept += Utf8Length(wide[i]);
      ASSERT_EQ(static_cast<size_t>(result), kept) << round << " capacity " << cap;
      ASSERT_EQ(got.substr(0, kept), whole8.substr(0, kept)) << round << " capacity " << cap;
      ASSERT_EQ(got.substr(kept), string(got.size() - kept, 'Z'));
    }
  }
}

// ---- The Windows-style pair against the C library in each locale.

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
    CWTestLocale locale(name);
    if (!locale.Ok()) continue;  // not generated on this machine
    ++tested;
    CWTestRandom r(kSeed);
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
    CWTestLocale locale(name);
    ASSERT_TRUE(locale.Ok()) << name;
    CWTestRandom r(kSeed);
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
                ReferenceUtf8toWStr(&want[0], n, flawed.data(), n));
      ASSERT_EQ(got, want);
    }
  }
}

// Every character of one, two and three bytes, and each longer lead with every
// second byte, read alone and between ASCII letters.
TEST(EncodingDiff, EveryShortSequenceMatchesCLibrary) {
  for (const char* name : {"C.UTF-8", "C"}) {
    CWTestLocale locale(name);
    ASSERT_TRUE(locale.Ok()) << name;
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
