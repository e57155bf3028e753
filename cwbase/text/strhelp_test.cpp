#include "cwbase/text/strhelp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using std::wstring;
constexpr wchar_t kMark = 0x5A5A;  // fill that shows which units were written

TEST(StrHelp, FormatNeverWritesPastLimit) {
  wstring buf(1100, kMark);
  EXPECT_EQ(_unsafe_swprintf(&buf[0], L"%d-%ls-%s", 7, L"ab", "cd"), 0);
  EXPECT_STREQ(buf.c_str(), L"7-ab-cd");
  _unsafe_swprintf(&buf[0], L"%ls", wstring(1023, 'x').c_str());
  EXPECT_EQ(wstring(buf.c_str()), wstring(1023, 'x'));
  buf.assign(1100, kMark);
  EXPECT_EQ(_unsafe_swprintf(&buf[0], L"%ls", wstring(1024, 'x').c_str()), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf.substr(1024), wstring(76, kMark));
  TraceOut(L"%ls %d", L"dropped", 1);
}

TEST(StrHelp, ZeroItAndHexBytes) {
  char bytes[6] = {1, 2, 3, 4, 5, 6};
  ZeroIt(bytes, -3);
  ZeroIt(bytes, 4);
  EXPECT_EQ(std::vector<char>(bytes, bytes + 6), (std::vector<char>{0, 0, 0, 0, 5, 6}));

  unsigned char raw[] = {0x0A, 0xFF, 0x00, 0x5C};
  wstring hex(8, kMark);
  _stprintfbytes(&hex[0], raw, 3);
  _stprintfbytes(&hex[6], raw, 0);
  EXPECT_EQ(hex, wstring(L"0AFF00") + wstring(2, kMark));  // no terminator
}

TEST(StrHelp, MemmemFirstMatch) {
  unsigned char hay[] = {1, 2, 3, 1, 2, 9, 8};
  const struct {
    std::vector<unsigned char> pattern;
    int hayLength, at;  // at -1: null
  } cases[] = {
      {{9, 8}, 7, 5},  {{1, 2}, 7, 0},     {{1, 2, 9}, 7, 3}, {{1, 2, 3, 1, 2, 9, 8}, 7, 0},
      {{9, 8}, 6, -1}, {{1, 2, 3}, 2, -1}, {{}, 7, 0},        {{}, 0, 0},
      {{4}, 7, -1}};
  for (const auto& c : cases) {
    std::vector<unsigned char> p = c.pattern;
    EXPECT_EQ(memmem(hay, p.data(), c.hayLength, static_cast<int>(p.size())),
              c.at < 0 ? nullptr : hay + c.at);
  }
  EXPECT_EQ(memmem(hay, hay, 7, -1), nullptr);
}

// After a trim the new text is followed by zeros up to and including the old
// terminator; the storage behind that stays as it was.
template <typename Char, typename Fn>
void ExpectTrim(const std::basic_string<Char>& in, const std::basic_string<Char>& out, Fn trim) {
  std::basic_string<Char> buf = in + Char(0) + Char('Q');
  trim(&buf[0]);
  EXPECT_EQ(buf, out + std::basic_string<Char>(in.size() + 1 - out.size(), 0) + Char('Q'));
}

TEST(StrHelp, TrimsClearTheTail) {
  auto spaces = [](char* s) { strtrim(s, ' '); };
  ExpectTrim<char>("  ab c  ", "ab c", spaces);
  ExpectTrim<char>("   ", "", spaces);
  ExpectTrim<char>("", "", spaces);
  ExpectTrim<char>("xabx", "xabx", [](char* s) { strtrim(s, 0); });
  ExpectTrim<wchar_t>(L"----", L"", [](wchar_t* s) { _tcstrim(s, '-'); });
  ExpectTrim<wchar_t>(L"-a-b-", L"a-b", [](wchar_t* s) { _tcstrim(s, '-'); });
  ExpectTrim<wchar_t>(L" \t-x - y\t- ", L"x - y", [](wchar_t* s) { _tcstrimmulti(s, L" \t-"); });
  ExpectTrim<wchar_t>(L" x ", L" x ", [](wchar_t* s) { _tcstrimmulti(s, L""); });
  strtrim(nullptr, ' ');
}

TEST(StrHelp, CmdLineParamCopiesWithoutTerminator) {
  const struct {
    const wchar_t* line;
    long capacity;
    const wchar_t* out;  // null: destination untouched
  } cases[] = {{L"prog /file:\"my file.txt\" /v", 64, L"my file.txt"},
               {L"prog /file:abc def", 64, L"abc"},
               {L"prog /file:abc def", 2, L"ab"},
               {L"prog /file:\"open", 64, L"open"},
               {L"prog /file: x", 64, L""},
               {L"prog /other:1", 64, nullptr},
               {L"prog /file:abc", 0, nullptr}};
  for (const auto& c : cases) {
    wstring buf(16, kMark);
    GetCmdLineParam(c.line, L"/file:", &buf[0], c.capacity);
    wstring out = c.out ? c.out : L"";
    EXPECT_EQ(buf, out + wstring(16 - out.size(), kMark)) << c.line;
  }
}

struct MaskCase {
  const wchar_t* mask;
  const wchar_t* text;
  unsigned long mode, capacity;
  wstring out;  // the result; with a small capacity, the whole written area
};

TEST(StrHelp, MaskText) {
  const MaskCase cases[] = {
      {L"(###) ###-####", L"1234567890", 0, 32, L"(123) 456-7890"},
      {L"(###) ###-####", L"12345", 0, 32, L"(123) 45"},
      {L"(###) ###-####", L"(123)4567890", 3, 32, L"(123) 456-7890"},
      {L"(###) ###-####", L"", 0, 32, L""},
      {L"##", L"12345", 0, 32, L"12"},
      {L"", L"plain", 1, 32, L"plain"},
      {L"###", L"123", 2, 32, L""},
      {L"#,###,###", L"1234567", 1, 32, L"1,234,567"},
      {L"#,###", L"12", 1, 32, L"12"},
      {L"#,###", L"1234", 1, 32, L"1,234"},
      {L"#,###.##", L"1234.5", 1, 32, L"1,234.5"},
      {L"#,###.##", L"1234.567", 1, 32, L"1,234.56"},
      {L"#,###.##", L"1234", 1, 32, L"1,234"},
      {L"#,###", L"1234567", 1, 32, L"4,567"},
      {L"#,###", L"-1234", 1, 32, L"1,234"},
      {L"##,###", L"1,234", 1, 32, L"1,234"},
      {L"#,###", L"12.75", 1, 32, L"12"},
      {L".##", L"3.14159", 1, 32, L".14"},
      {L"$#,###.##", L"5.5", 1, 32, L"5.5"},
      // Capacity smaller than the result: cut and terminated; nothing past it.
      {L"(###) ###-####", L"1234567890", 0, 5, wstring(L"(123\0", 5)},
      {L"#,###.##", L"1234.5", 1, 4, wstring(L"1,2\0", 4)},
      {L"#,###.##", L"1234.5", 1, 1, wstring(1, 0)},
      {L"", L"abcdef", 0, 3, L"abc"},  // plain copy: no terminator
      {L"###", L"123", 0, 0, L""}};
  for (const MaskCase& c : cases) {
    wstring buf(40, kMark);
    MaskText(&buf[0], c.capacity, c.text, c.mask, c.mode);
    wstring area = c.out + wstring(c.capacity > c.out.size() ? c.capacity - c.out.size() : 0, 0);
    EXPECT_EQ(buf, area + wstring(40 - area.size(), kMark)) << c.mask << L" / " << c.text;
  }
}

}  // namespace
