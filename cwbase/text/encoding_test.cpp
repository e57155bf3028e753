#include "cwbase/text/encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "testing/scopes.h"

namespace {

using std::string;
using std::wstring;

// A heap copy of `s` and its terminator, sized exactly, so that a read past
// the terminator shows up under AddressSanitizer.
std::unique_ptr<unsigned char[]> Exact(const string& s) {
  std::unique_ptr<unsigned char[]> p(new unsigned char[s.size() + 1]);
  std::memcpy(p.get(), s.c_str(), s.size() + 1);
  return p;
}

TEST(Encoding, MakeUtf8ReducesToSixteenBits) {
  const std::pair<wstring, string> cases[] = {
      {L"", ""},
      {L"\u00E9", "\xC3\xA9"},
      {L"\u20AC", "\xE2\x82\xAC"},
      {{0x7F, 0x80, 0x7FF, 0x800}, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
      {{0xFFFF, 0xD800}, "\xEF\xBF\xBF\xED\xA0\x80"},
      {{0x1F600}, "\xEF\x98\x80"},
      {{'A', 0x10000, 'B'}, "A"}};
  for (const auto& [in, out] : cases) {
    unsigned char* got = make_utf8_string(in.c_str());
    EXPECT_EQ(string(reinterpret_cast<char*>(got), out.size() + 1),
              string(out.c_str(), out.size() + 1));
    std::free(got);
  }
}

TEST(Encoding, MakeUnicodeLeadBytesAndCutLastCharacter) {
  const std::pair<string, wstring> cases[] = {
      {"", L""},
      {"\xC3\xA9", L"\u00E9"},
      {"\xE2\x82\xAC", L"\u20AC"},
      {"\xA9"
       "A",
       {0xA41}},                          // stray continuation taken as a lead
      {"\xF0\x9F\x98x", {0x107D8, 'x'}},  // F0 keeps its fifth bit
      {"\xC3\xFFz", {0xFF, 'z'}},         // trailing bytes' top bits ignored
      {"A\xC3", {'A', 0xC0}},
      {"\xE2\x82", {0x2080}},
      {"\xE2", {0x2000}}};  // cut short
  for (const auto& [in, out] : cases) {
    wchar_t* got = make_unicode_string(Exact(in).get());
    EXPECT_EQ(wstring(got, out.size() + 1), wstring(out.c_str(), out.size() + 1));
    std::free(got);
  }
}

TEST(Encoding, Utf8toWStrQuestionMarks) {
  const std::pair<string, wstring> cases[] = {{"", L""},
                                              {"A\xC3", L"A?"},
                                              {"\xC3"
                                               "A",
                                               L"?A"},
                                              {"\xE2\x82\xC3\xA9", L"\u00E9"},
                                              {"\xA9", L"?"},
                                              {"\xFF", L"?"},
                                              {"\xC3\xFF"
                                               "a",
                                               L"?a"},
                                              {"\xF0\x9F\x98\x80", {0x1F600}},
                                              {"\xF7\xBF\xBF\xBF", {0x1FFFFF}},
                                              {string("\xC0\x80", 2), wstring(1, 0)},
                                              {string("a\0b", 3), wstring(L"a\0b", 3)}};
  for (const auto& [in, out] : cases) {
    string src = in;
    wstring dest(in.size() + 2, 0x5A5A);
    int n =
        Utf8toWStr(&dest[0], static_cast<int>(dest.size()), &src[0], static_cast<int>(in.size()));
    EXPECT_EQ(dest, out + wstring(dest.size() - out.size(), 0x5A5A)) << in;  // no terminator
    EXPECT_EQ(n, static_cast<int>(out.size()));
  }
  char two[] = "A\xC3";
  wchar_t one[2] = {0x5A5A, 0x5A5A};
  EXPECT_EQ(Utf8toWStr(one, 1, two, 2), 1);  // a smaller capacity cuts the output
  EXPECT_EQ(one[1], 0x5A5A);
  // Read-only source bytes need no cast; a null one still reads as nothing.
  const char* readOnly = "\xC3\xA9!";
  EXPECT_EQ(Utf8toWStr(one, 2, readOnly, 3), 2);
  EXPECT_EQ(wstring(one, 2), L"\u00E9!");
  EXPECT_EQ(Utf8toWStr(one, 2, nullptr, 3), 0);
}

TEST(Encoding, WstrtoUtf8FourBytesAndQuestionMark) {
  const std::pair<wstring, string> cases[] = {{{0x1F600}, "\xF0\x9F\x98\x80"},
                                              {{0x10FFFF}, "\xF4\x8F\xBF\xBF"},
                                              {{0x110000}, "?"},
                                              {{-1}, "\xFF"},
                                              {{'a', 0, 0x7FF}, string("a\0\xDF\xBF", 4)},
                                              {{0xD800}, "\xED\xA0\x80"}};
  for (const auto& [in, out] : cases) {
    wstring src = in;
    string dest(4 * in.size() + 1, 'Z');
    int n =
        WstrtoUtf8(&dest[0], static_cast<int>(dest.size()), &src[0], static_cast<int>(in.size()));
    EXPECT_EQ(dest, out + string(dest.size() - out.size(), 'Z'));
    EXPECT_EQ(n, static_cast<int>(out.size()));
  }
  wchar_t euro[] = {'A', 0x20AC};
  char small[4] = {'Z', 'Z', 'Z', 'Z'};
  EXPECT_EQ(WstrtoUtf8(small, 3, euro, 2), 1);  // a character is written whole or not at all
  EXPECT_EQ(small[1], 'Z');
}

TEST(Encoding, WindowsPairLimitRule) {
  CWTestLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Ok());
  struct {
    const wchar_t* in;
    int size, result;
    string written;  // bytes expected at the start of the destination
  } const cases[] = {{L"abc", 10, 3, string("abc\0", 4)},
                     {L"abc", 3, 3, "abc"},  // limit reached: no terminator
                     {L"abc", 0, 0, ""},
                     {L"abc", -1, 3, string("abc\0", 4)},
                     {L"h\u00E9llo", 100, 6, "h\xC3\xA9llo"},  // cut at characters + 1 bytes
                     {L"\u00E9\u00E9", 100, 2, "\xC3\xA9"}};   // never a partial character
  for (const auto& c : cases) {
    string dest(16, 'Z');
    EXPECT_EQ(WideCharToMultiByte(0, 0, c.in, -1, &dest[0], c.size, nullptr, nullptr), c.result);
    EXPECT_EQ(dest, c.written + string(16 - c.written.size(), 'Z'));
  }
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"\u00E9\u00E9", -1, nullptr, 1, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"a\xD800", -1, out, 8, nullptr, nullptr), -1);

  wstring wide(8, 0x5A5A);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, &wide[0], 4), 3);
  EXPECT_EQ(wide, wstring(L"abc\0\x5A5A\x5A5A\x5A5A\x5A5A", 8));
  wide.assign(8, 0x5A5A);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, &wide[0], 2), 2);
  EXPECT_EQ(wide[2], 0x5A5A);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "h\xC3\xA9", -1, &wide[0], 100), 2);
  EXPECT_EQ(wide.substr(0, 3), wstring(L"h\u00E9\0", 3));
  EXPECT_EQ(MultiByteToWideChar(0, 0, "h\xC3\xA9", -1, nullptr, 0), 2);
  EXPECT_EQ(MultiByteToWideChar(0, 0, "a\xFF", -1, &wide[0], 8), -1);

  CWTestLocale plain("C");
  EXPECT_EQ(WideCharToMultiByte(0, 0, L"\u00E9", -1, out, 8, nullptr, nullptr), -1);
}

}  // namespace
