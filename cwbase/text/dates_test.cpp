#include "cwbase/text/dates.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/systime.h"

namespace {

// Dates in these tests are written day first, as the formats print them.
SYSTEMTIME Make(int d, int mo, int y, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return CWTestSystemTime(y, mo, d, h, mi, s, ms);
}

// The fields as "d.m.y h:mi:s:ms dow", so a mismatch shows every field.
std::string Fields(const SYSTEMTIME& t) {
  return std::to_string(t.wDay) + "." + std::to_string(t.wMonth) + "." + std::to_string(t.wYear) +
         " " + std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" +
         std::to_string(t.wSecond) + ":" + std::to_string(t.wMilliseconds) + " " +
         std::to_string(t.wDayOfWeek);
}

using Printer = void (*)(SYSTEMTIME*, wchar_t*);
using Parser = void (*)(const wchar_t*, SYSTEMTIME*);

TEST(DateText, PrintsThreeFormats) {
  struct Case {
    SYSTEMTIME t;
    Printer print;
    const wchar_t* expected;
  } cases[] = {
      {Make(7, 3, 2024, 9, 5, 2, 45), DateToStringDDMMYYYY_HHMMSSMS, L"07.03.2024, 09:05:02:045"},
      {Make(7, 3, 2024, 9, 5, 2, 45), DateToStringDDMMYYYY_HHMM, L"07.03.2024, 09:05"},
      {Make(7, 3, 2024, 9, 5, 2, 45), DateToStringDDMMYYYY, L"07.03.2024"},
      {Make(31, 12, 12345, 23, 59, 59, 1500), DateToStringDDMMYYYY_HHMMSSMS,
       L"31.12.12345, 23:59:59:1500"},
      {Make(65535, 65535, 65535, 65535, 65535, 65535, 65535), DateToStringDDMMYYYY_HHMMSSMS,
       L"65535.65535.65535, 65535:65535:65535:65535"},
      {Make(0, 0, 0), DateToStringDDMMYYYY, L"00.00.0000"},
  };
  for (Case& c : cases) {
    wchar_t out[64];
    c.print(&c.t, out);
    EXPECT_STREQ(c.expected, out);
  }
}

TEST(DateText, NullArgumentsDoNothing) {
  wchar_t out[4] = L"xyz";
  SYSTEMTIME t = Make(1, 2, 3, 4, 5, 6, 7);
  DateToStringDDMMYYYY_HHMMSSMS(nullptr, out);
  DateToStringDDMMYYYY(&t, nullptr);
  DateFromStringDDMMYYYY_HHMM(nullptr, &t);
  DateFromStringDDMMYYYY(L"1.1.2000", nullptr);
  EXPECT_STREQ(L"xyz", out);
  EXPECT_EQ("1.2.3 4:5:6:7 0", Fields(t));
}

TEST(DateText, ParsesDayFirst) {
  struct Case {
    Parser parse;
    const wchar_t* text;
    const char* expected;
  } cases[] = {
      // Each form as it prints.
      {DateFromStringDDMMYYYY_HHMMSSMS, L"07.03.2024, 09:05:02:045", "7.3.2024 9:5:2:45 0"},
      {DateFromStringDDMMYYYY_HHMM, L"07.03.2024, 09:05", "7.3.2024 9:5:0:0 0"},
      {DateFromStringDDMMYYYY, L"07.03.2024", "7.3.2024 0:0:0:0 0"},
      // The date-only form splits at '.' and '/' only: the third token runs on.
      {DateFromStringDDMMYYYY, L"07.03.2024, 09:05", "7.3.2024 0:0:0:0 0"},
      {DateFromStringDDMMYYYY, L"7/3 2024", "7.3.0 0:0:0:0 0"},
      // Any separator between any fields; missing fields stay 0, extra ones
      // are ignored, empty ones vanish.
      {DateFromStringDDMMYYYY_HHMMSSMS, L"7/3/2024 9:05", "7.3.2024 9:5:0:0 0"},
      {DateFromStringDDMMYYYY_HHMM, L"07.03.2024, 09:05:02:045", "7.3.2024 9:5:0:0 0"},
      {DateFromStringDDMMYYYY_HHMMSSMS, L"..,, 1 ::/ 2 3 4 5 6 7 8 9", "1.2.3 4:5:6:7 0"},
      {DateFromStringDDMMYYYY, L"\t 5.6.7", "5.6.7 0:0:0:0 0"},
      {DateFromStringDDMMYYYY_HHMMSSMS, L"", "0.0.0 0:0:0:0 0"},
      {DateFromStringDDMMYYYY_HHMM, L"., :/", "0.0.0 0:0:0:0 0"},
      // No range checks: the numbers are read as wcstol reads them and cut
      // to 16 bits.
      {DateFromStringDDMMYYYY_HHMMSSMS, L"31.02.2024", "31.2.2024 0:0:0:0 0"},
      {DateFromStringDDMMYYYY, L"99.99.9999", "99.99.9999 0:0:0:0 0"},
      {DateFromStringDDMMYYYY_HHMMSSMS, L"12abc.abc.-1", "12.0.65535 0:0:0:0 0"},
      {DateFromStringDDMMYYYY_HHMMSSMS, L"65536.65537.+7", "0.1.7 0:0:0:0 0"},
      {DateFromStringDDMMYYYY_HHMMSSMS, L"99999999999999999999.-99999999999999999999",
       "65535.0.0 0:0:0:0 0"},
  };
  for (const Case& c : cases) {
    SYSTEMTIME t = Make(9, 9, 9, 9, 9, 9, 9);
    t.wDayOfWeek = 9;
    c.parse(c.text, &t);
    EXPECT_EQ(c.expected, Fields(t)) << "text: " << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(DateText, ReadsOnlyTheFirst63Units) {
  SYSTEMTIME t{};
  // Unit 62 is the '4' of "45"; the '5' lies beyond the 63 units read.
  std::wstring text = std::wstring(56, L' ') + L"1.2.3 45";
  DateFromStringDDMMYYYY_HHMMSSMS(text.c_str(), &t);
  EXPECT_EQ("1.2.3 4:0:0:0 0", Fields(t));
  text = std::wstring(60, L'/') + L"12345";
  DateFromStringDDMMYYYY(text.c_str(), &t);
  EXPECT_EQ("123.0.0 0:0:0:0 0", Fields(t));
  text = std::wstring(62, L'/') + L"7";
  DateFromStringDDMMYYYY(text.c_str(), &t);
  EXPECT_EQ("7.0.0 0:0:0:0 0", Fields(t));
}

}  // namespace
