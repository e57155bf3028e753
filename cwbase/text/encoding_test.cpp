#include "cwbase/text/encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Units = std::vector<wchar_t>;

// Sets LC_ALL for one test and restores the previous locale.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_;
};

TEST(EncodingMakeUtf8, ReducesToSixteenBitsAndSizesExactly) {
  struct Case {
    Units in;
    Bytes out;
  } cases[] = {
      {{}, {}},
      {{0xE9}, {0xC3, 0xA9}},
      {{0x20AC}, {0xE2, 0x82, 0xAC}},
      {{0x7F, 0x80, 0x7FF, 0x800}, {0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80}},
      {{0xFFFF, 0xD800}, {0xEF, 0xBF, 0xBF, 0xED, 0xA0, 0x80}},
      {{0x1F600}, {0xEF, 0x98, 0x80}},
      {{'A', 0x10000, 'B'}, {'A'}},
  };
  for (const Case& c : cases) {
    Units in = c.in;
    in.push_back(0);
    unsigned char* got = make_utf8_string(in.data());
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(Bytes(got, got + c.out.size() + 1), [&] {
      Bytes b = c.out;
      b.push_back(0);
      return b;
    }());
    std::free(got);
  }
}

TEST(EncodingMakeUnicode, LeadByteRulesAndCutLastCharacter) {
  // The source vectors are sized exactly, so a read past the terminator
  // shows up under AddressSanitizer.
  struct Case {
    Bytes in;
    Units out;
  } cases[] = {
      {{}, {}},
      {{0xC3, 0xA9}, {0xE9}},
      {{0xE2, 0x82, 0xAC}, {0x20AC}},
      {{0xA9, 'A'}, {0xA41}},                   // stray continuation taken as a lead
      {{0xF0, 0x9F, 0x98, 'x'}, {0x107D8, 'x'}},  // F0 keeps its fifth bit
      {{0xC3, 0xFF, 'z'}, {0xFF, 'z'}},         // trailing bytes' top bits ignored
      {{'A', 0xC3}, {'A', 0xC0}},               // cut short by the terminator
      {{0xE2, 0x82}, {0x2080}},
      {{0xE2}, {0x2000}},
  };
  for (const Case& c : cases) {
    Bytes in = c.in;
    in.push_back(0);
    wchar_t* got = make_unicode_string(in.data());
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(Units(got, got + c.out.size() + 1), [&] {
      Units u = c.out;
      u.push_back(0);
      return u;
    }());
    std::free(got);
  }
}

TEST(EncodingUtf8toWStr, QuestionMarkTable) {
  struct Case {
    Bytes in;
    Units out;
  } cases[] = {
      {{}, {}},
      {{'A', 0xC3}, {'A', '?'}},
      {{0xC3, 'A'}, {'?', 'A'}},
      {{0xE2, 0x82, 0xC3, 0xA9}, {0xE9}},
      {{0xA9}, {'?'}},
      {{0xFF}, {'?'}},
      {{0xC3, 0xFF, 'a'}, {'?', 'a'}},
      {{0xF0, 0x9F, 0x98, 0x80}, {0x1F600}},
      {{0xF7, 0xBF, 0xBF, 0xBF}, {0x1FFFFF}},
      {{0xC0, 0x80}, {0}},
      {{'a', 0, 'b'}, {'a', 0, 'b'}},
  };
  for (const Case& c : cases) {
    Bytes in = c.in;
    Units dest(c.in.size() + 2, 0x5A5A);
    int n = Utf8toWStr(dest.data(), static_cast<int>(dest.size()),
                       reinterpret_cast<char*>(in.data()), static_cast<int>(in.size()));
    ASSERT_EQ(n, static_cast<int>(c.out.size()));
    EXPECT_EQ(Units(dest.begin(), dest.begin() + n), c.out);
    EXPECT_EQ(dest[n], 0x5A5A) << "no terminator is written";
  }
  // A smaller capacity cuts the output.
  char two[] = {'A', static_cast<char>(0xC3)};
  wchar_t one[2] = {0x5A5A, 0x5A5A};
  EXPECT_EQ(Utf8toWStr(one, 1, two, 2), 1);
  EXPECT_EQ(one[0], L'A');
  EXPECT_EQ(one[1], 0x5A5A);
}

TEST(EncodingWstrtoUtf8, FourByteFormsAndQuestionMark) {
  struct Case {
    Units in;
    Bytes out;
  } cases[] = {
      {{0x1F600}, {0xF0, 0x9F, 0x98, 0x80}},
      {{0x10FFFF}, {0xF4, 0x8F, 0xBF, 0xBF}},
      {{0x110000}, {'?'}},
      {{static_cast<wchar_t>(-1)}, {0xFF}},
      {{'a', 0, 0x7FF}, {'a', 0, 0xDF, 0xBF}},
      {{0xD800}, {0xED, 0xA0, 0x80}},
  };
  for (const Case& c : cases) {
    Units in = c.in;
    std::vector<char> dest(4 * c.in.size() + 1, 'Z');
    int n = WstrtoUtf8(dest.data(), static_cast<int>(dest.size()), in.data(),
                       static_cast<int>(in.size()));
    ASSERT_EQ(n, static_cast<int>(c.out.size()));
    EXPECT_EQ(Bytes(dest.begin(), dest.begin() + n), c.out);
    EXPECT_EQ(dest[n], 'Z');
  }
  wchar_t euro[] = {'A', 0x20AC};
  char small[4] = {'Z', 'Z', 'Z', 'Z'};
  EXPECT_EQ(WstrtoUtf8(small, 3, euro, 2), 1) << "a character is written whole or not at all";
  EXPECT_EQ(small[1], 'Z');
}

TEST(EncodingWindowsPair, LimitRuleInUtf8Locale) {
  LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  struct Case {
    const wchar_t* in;
    int size;
    int result;
    std::string written;  // bytes expected at the start of the destination
  } cases[] = {
      {L"abc", 10, 3, std::string("abc", 4)},      // terminator fits
      {L"abc", 3, 3, "abc"},                       // limit reached: no terminator
      {L"abc", 0, 0, ""},
      {L"abc", -1, 3, std::string("abc", 4)},      // negative size: limit n
      {L"h\u00E9llo", 100, 6, "h\xC3\xA9llo"},     // cut at characters + 1 bytes
      {L"\u00E9\u00E9", 100, 2, "\xC3\xA9"},       // no partial character
  };
  for (const Case& c : cases) {
    char dest[16];
    std::memset(dest, 'Z', sizeof dest);
    EXPECT_EQ(WideCharToMultiByte(0, 0, c.in, -1, dest, c.size, nullptr, nullptr), c.result)
        << c.written;
    EXPECT_EQ(std::string(dest, c.written.size()), c.written);
    EXPECT_EQ(dest[c.written.size()], 'Z');
  }
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"\u00E9\u00E9", -1, nullptr, 1, nullptr, nullptr), 4);
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"a\xD800", -1, out, 8, nullptr, nullptr), -1);

  wchar_t wide[8];
  std::wmemset(wide, 0x5A5A, 8);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, wide, 4), 3);
  EXPECT_EQ(std::wstring(wide, 4), std::wstring(L"abc", 4));
  std::wmemset(wide, 0x5A5A, 8);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, wide, 2), 2);
  EXPECT_EQ(wide[2], 0x5A5A);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "h\xC3\xA9", -1, wide, 100), 2);
  EXPECT_EQ(std::wstring(wide, 3), std::wstring(L"h\u00E9", 3));
  EXPECT_EQ(MultiByteToWideChar(0, 0, "h\xC3\xA9", -1, nullptr, 0), 2);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "a\xFF", -1, wide, 8), -1);
}

TEST(EncodingWindowsPair, UnconvertibleInCLocale) {
  LocaleGuard c("C");
  ASSERT_TRUE(c.ok());
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"\u00E9", -1, out, 8, nullptr, nullptr), -1);
  EXPECT_EQ(IsUnicodeOk(), 1);
}

}  // namespace
