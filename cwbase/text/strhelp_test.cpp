#include "cwbase/text/strhelp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMark = 0x5A5A;  // fill that shows which units were written

TEST(StrHelpFormat, FormatsAndNeverWritesPastLimit) {
  wchar_t buf[1100];
  EXPECT_EQ(_unsafe_swprintf(buf, L"%d-%ls-%s", 7, L"ab", "cd"), 0);
  EXPECT_STREQ(buf, L"7-ab-cd");

  std::wstring longText(1023, L'x');
  std::wmemset(buf, kMark, 1100);
  _unsafe_swprintf(buf, L"%ls", longText.c_str());
  EXPECT_EQ(std::wstring(buf), longText);
  longText += L'y';
  std::wmemset(buf, kMark, 1100);
  EXPECT_EQ(_unsafe_swprintf(buf, L"%ls", longText.c_str()), 0);
  EXPECT_STREQ(buf, L"");
  for (int i = 1024; i < 1100; ++i) ASSERT_EQ(buf[i], kMark) << i;
  TraceOut(L"%ls %d", L"dropped", 1);
}

TEST(StrHelpZeroIt, ClearsExactlySize) {
  char buf[6] = {1, 2, 3, 4, 5, 6};
  ZeroIt(buf, 0);
  ZeroIt(buf, -3);
  ZeroIt(nullptr, 4);
  EXPECT_EQ(buf[0], 1);
  ZeroIt(buf, 4);
  EXPECT_EQ(std::vector<char>(buf, buf + 6), (std::vector<char>{0, 0, 0, 0, 5, 6}));
}

TEST(StrHelpMemmem, FirstMatchOrNull) {
  unsigned char hay[] = {1, 2, 3, 1, 2, 9, 8};
  struct Case {
    std::vector<unsigned char> pattern;
    int hayLength;
    int at;  // -1: null
  } cases[] = {
      {{9, 8}, 7, 5}, {{1, 2}, 7, 0}, {{1, 2, 9}, 7, 3}, {{1, 2, 3, 1, 2, 9, 8}, 7, 0},
      {{9, 8}, 6, -1}, {{1, 2, 3}, 2, -1}, {{}, 7, 0}, {{}, 0, 0}, {{4}, 7, -1},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> p = c.pattern;
    unsigned char* got = memmem(hay, p.data(), c.hayLength, static_cast<int>(p.size()));
    EXPECT_EQ(got, c.at < 0 ? nullptr : hay + c.at) << c.at;
  }
  unsigned char one = 1;
  EXPECT_EQ(memmem(hay, &one, 7, -1), nullptr);
  EXPECT_EQ(memmem(hay, &one, -1, 1), nullptr);
}

TEST(StrHelpHexBytes, UpperCaseNoTerminator) {
  unsigned char bytes[] = {0x0A, 0xFF, 0x00, 0x5C};
  wchar_t buf[10];
  std::wmemset(buf, kMark, 10);
  _stprintfbytes(buf, bytes, 3);
  EXPECT_EQ(std::wstring(buf, 6), L"0AFF00");
  EXPECT_EQ(buf[6], kMark);
  _stprintfbytes(buf + 6, bytes, 0);
  EXPECT_EQ(buf[6], kMark);
}

// After a trim the new text is followed by zeros up to and including the old
// terminator; the storage behind that stays as it was.
template <typename Char, typename Fn>
void ExpectTrim(const std::basic_string<Char>& in, const std::basic_string<Char>& out, Fn trim) {
  std::vector<Char> buf(in.size() + 3, Char('Q'));
  std::copy(in.begin(), in.end(), buf.begin());
  buf[in.size()] = 0;
  trim(buf.data());
  EXPECT_EQ(std::basic_string<Char>(buf.data()), out);
  for (size_t i = out.size(); i <= in.size(); ++i) EXPECT_EQ(buf[i], 0) << i;
  EXPECT_EQ(buf[in.size() + 1], Char('Q'));
}

TEST(StrHelpTrim, RemovesEndsAndClearsTail) {
  auto spaces = [](char* s) { strtrim(s, ' '); };
  ExpectTrim<char>("  ab c  ", "ab c", spaces);
  ExpectTrim<char>("   ", "", spaces);
  ExpectTrim<char>("ab", "ab", spaces);
  ExpectTrim<char>("", "", spaces);
  ExpectTrim<char>("xabx", "xabx", [](char* s) { strtrim(s, 0); });

  ExpectTrim<wchar_t>(L"----", L"", [](wchar_t* s) { _tcstrim(s, L'-'); });
  ExpectTrim<wchar_t>(L"-a-b-", L"a-b", [](wchar_t* s) { _tcstrim(s, L'-'); });
  ExpectTrim<wchar_t>(L" \t-x - y\t- ", L"x - y", [](wchar_t* s) { _tcstrimmulti(s, L" \t-"); });
  ExpectTrim<wchar_t>(L" x ", L" x ", [](wchar_t* s) { _tcstrimmulti(s, L""); });
  strtrim(nullptr, ' ');
  _tcstrimmulti(nullptr, L" ");
}

TEST(StrHelpCmdLine, ValueAfterName) {
  struct Case {
    const wchar_t* line;
    const wchar_t* name;
    long capacity;
    const wchar_t* out;  // null: destination untouched
  } cases[] = {
      {L"prog /file:\"my file.txt\" /v", L"/file:", 64, L"my file.txt"},
      {L"prog /file:abc def", L"/file:", 64, L"abc"},
      {L"prog /file:abc def", L"/file:", 2, L"ab"},
      {L"prog /file:\"open", L"/file:", 64, L"open"},
      {L"prog -x value", L"-x", 64, L""},
      {L"prog /other:1", L"/file:", 64, nullptr},
      {L"prog /file:abc", L"/file:", 0, nullptr},
  };
  for (const Case& c : cases) {
    wchar_t buf[70];
    std::wmemset(buf, kMark, 70);
    GetCmdLineParam(c.line, c.name, buf, c.capacity);
    if (!c.out) {
      EXPECT_EQ(buf[0], kMark) << c.line;
      continue;
    }
    size_t n = std::wcslen(c.out);
    EXPECT_EQ(std::wstring(buf, n), c.out) << c.line;
    EXPECT_EQ(buf[n], kMark) << "no terminator: " << c.line;
  }
}

struct MaskCase {
  const wchar_t* mask;
  const wchar_t* text;
  const wchar_t* out;
};

void ExpectMask(const MaskCase* cases, size_t count, unsigned long mode) {
  for (size_t i = 0; i < count; ++i) {
    const MaskCase& c = cases[i];
    wchar_t buf[40];
    std::wmemset(buf, kMark, 40);
    MaskText(buf, 32, c.text, c.mask, mode);
    EXPECT_STREQ(buf, c.out) << c.mask << L" / " << c.text;
    EXPECT_EQ(buf[31], 0) << "cleared over the capacity";
    EXPECT_EQ(buf[32], kMark);
  }
}

TEST(StrHelpMask, FillFromLeft) {
  const MaskCase cases[] = {
      {L"(###) ###-####", L"1234567890", L"(123) 456-7890"},
      {L"(###) ###-####", L"12345", L"(123) 45"},
      {L"(###) ###-####", L"(123)4567890", L"(123) 456-7890"},
      {L"(###) ###-####", L"", L""},
      {L"##", L"12345", L"12"},
      {L"", L"plain", L"plain"},
  };
  ExpectMask(cases, std::size(cases), 0);
  ExpectMask(cases, std::size(cases), 3);
}

TEST(StrHelpMask, AlignOnDecimalPoint) {
  const MaskCase cases[] = {
      {L"#,###,###", L"1234567", L"1,234,567"}, {L"#,###", L"12", L"12"},
      {L"#,###", L"1234", L"1,234"},            {L"#,###.##", L"1234.5", L"1,234.5"},
      {L"#,###.##", L"1234.567", L"1,234.56"},  {L"#,###.##", L"1234", L"1,234"},
      {L"#,###", L"1234567", L"4,567"},         {L"#,###", L"-1234", L"1,234"},
      {L"#,###", L"1,234", L"1,234"},           {L"#,###", L"12.75", L"12"},
      {L".##", L"3.14159", L".14"},             {L"$#,###.##", L"5.5", L"5.5"},
      {L"##,###", L"1,234", L"1,234"},
  };
  ExpectMask(cases, std::size(cases), 1);
}

TEST(StrHelpMask, OtherModesAndSmallCapacity) {
  wchar_t buf[20];
  std::wmemset(buf, kMark, 20);
  MaskText(buf, 10, L"123", L"###", 2);
  EXPECT_EQ(std::wstring(buf, 10), std::wstring(10, 0));
  EXPECT_EQ(buf[10], kMark);

  struct Case {
    const wchar_t* mask;
    const wchar_t* text;
    unsigned long mode;
    unsigned long capacity;
    std::wstring out;  // the whole written area
  } cases[] = {
      {L"(###) ###-####", L"1234567890", 0, 5, std::wstring(L"(123\0", 5)},
      {L"#,###.##", L"1234.5", 1, 4, std::wstring(L"1,2\0", 4)},
      {L"#,###.##", L"1234.5", 1, 1, std::wstring(1, 0)},
      {L"", L"abcdef", 0, 3, L"abc"},  // copy without terminator
      {L"###", L"123", 0, 0, L""},
  };
  for (const Case& c : cases) {
    std::wmemset(buf, kMark, 20);
    MaskText(buf, c.capacity, c.text, c.mask, c.mode);
    EXPECT_EQ(std::wstring(buf, c.out.size()), c.out) << c.mask;
    EXPECT_EQ(buf[c.out.size()], kMark) << c.mask;
  }
}

}  // namespace
