#include "cwbase/text/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "testing/scopes.h"

namespace {

using std::wstring;

// The numbers in these tests use the C locale's decimal point.
class Numbers : public ::testing::Test {
 protected:
  CWTestLocale m_Locale{"C"};
};

TEST_F(Numbers, VersionTextBothWays) {
  const std::pair<const wchar_t*, unsigned long long> cases[] = {
      {L"1.2.3.4", 0x0001000200030004},
      {L"65535.0.0.0", 0xFFFF000000000000},
      {L"32768.65535.1.0", 0x8000FFFF00010000},
      {L"1.2", 0x0001000200000000},
      {L"1..2", 0x0001000200000000},
      {L".1.2.", 0x0001000200000000},
      {L"1.2.3.4.5", 0x0001000200030004},
      {L"65536.1", 0x0000000100000000},
      {L"-1", 0xFFFF000000000000},
      {L" 7x.8", 0x0007000800000000},
      {L"abc", 0},
      {L"", 0}};
  for (const auto& [text, value] : cases)
    EXPECT_EQ(static_cast<unsigned long long>(GetVersionFromString(text)), value) << text;
  for (int i = 0; i < 3; ++i) {  // the first texts are in normal form
    wchar_t buf[64];
    VersionToString(buf, static_cast<long long>(cases[i].second));
    EXPECT_STREQ(buf, cases[i].first);
  }
  EXPECT_EQ(GetVersionFromString(nullptr), 0);
  // Only the first 127 units are read: the 7 in the 128th unit is lost.
  wstring longText = L"1." + wstring(124, '0') + L"27";
  EXPECT_EQ(static_cast<unsigned long long>(GetVersionFromString(longText.c_str())),
            0x0001000200000000u);
}

TEST_F(Numbers, FloatText) {
  const struct {
    double value;
    int decimals, size;
    const wchar_t* out;
  } cases[] = {{3.14159, 2, 32, L"3.14"}, {3.14159, 0, 32, L"3"}, {-2.5, 3, 32, L"-2.500"},
               {3.14159, 2, 5, L"3.14"},  {3.14159, 2, 4, L""},   {3.14159, -2, 32, L"3"},
               {1.0, 2000, 32, L""},      {1e300, 800, 32, L""},  {0.5, 1021, 2, L""}};
  for (const auto& c : cases) {
    wstring buf(40, 0x5A5A);
    EXPECT_EQ(FloatToStr(c.value, c.decimals, &buf[0], c.size), 0);
    EXPECT_STREQ(buf.c_str(), c.out) << c.value << " " << c.decimals;
    EXPECT_EQ(buf.substr(c.size), wstring(40 - c.size, 0x5A5A));
  }
  wchar_t untouched = 0x5A5A;
  FloatToStr(1.0, 2, &untouched, 0);
  EXPECT_EQ(untouched, 0x5A5A);
  EXPECT_EQ(StrToFloat(L"2.5e3"), 2500.0);
  EXPECT_EQ(StrToFloat(L"  12abc"), 12.0);
  EXPECT_EQ(StrToFloat(L"abc"), 0.0);
  EXPECT_EQ(StrToFloat(nullptr), 0.0);
}

// Text longer than the formatting helper's 1023 units is written whenever
// the destination holds it with its terminator; infinity and NaN ignore the
// decimals. `length` is the text's length, or -1 where it is refused.
TEST_F(Numbers, FloatTextBeyondTheFormattingLimit) {
  const struct {
    double value;
    int decimals, size, length;
  } cases[] = {{1.0, 1100, 1200, 1102},   {1.0, 1100, 1103, 1102}, {1.0, 1100, 1102, -1},
               {-1.0, 1100, 1104, 1103},  {-1.0, 1100, 1103, -1},  {0.5, 1021, 1024, 1023},
               {0.5, 1022, 1025, 1024},   {0.5, 1022, 1024, -1},   {1e300, 800, 1200, 1102},
               {1e300, 800, 1102, -1},    {-1e308, 0, 400, 310},   {5e-324, 1074, 1077, 1076},
               {INFINITY, 1100, 1100, 3}, {INFINITY, 1100, 4, 3},  {INFINITY, 1100, 3, -1},
               {-INFINITY, 5000, 8, 4},   {NAN, 1100, 4, 3},       {-NAN, INT_MAX, 5, 4},
               {1.0, INT_MAX, 64, -1}};
  std::vector<wchar_t> full(8192);
  for (const auto& c : cases) {
    std::vector<wchar_t> buf(static_cast<size_t>(c.size) + 8, 0x5A5A);
    EXPECT_EQ(FloatToStr(c.value, c.decimals, buf.data(), c.size), 0);
    if (c.length < 0) {
      EXPECT_EQ(buf[0], 0) << c.value << " " << c.decimals << " " << c.size;
    } else {
      std::swprintf(full.data(), full.size(), L"%.*f", c.decimals, c.value);
      EXPECT_EQ(std::wcslen(full.data()), static_cast<size_t>(c.length));
      EXPECT_STREQ(buf.data(), full.data()) << c.value << " " << c.decimals << " " << c.size;
    }
    for (size_t i = static_cast<size_t>(c.size); i < buf.size(); ++i) ASSERT_EQ(buf[i], 0x5A5A);
  }
}

TEST(NumbersTrig, TruncatedFixedPoint) {
  enum Fn { Cos, Sin, Tan };
  const struct {
    Fn fn;
    double degrees;
    int bits, result;
  } cases[] = {{Cos, 0, 16, 65536},       {Cos, 60, 16, 32768},    {Cos, 90, 16, 0},
               {Cos, 180, 16, -65536},    {Sin, 30, 16, 32767},    {Sin, 90, 16, 65536},
               {Sin, -30, 16, -32767},    {Cos, 90, 30, 1},        {Sin, 180, 30, 3},
               {Tan, 45, 16, 65535},      {Tan, 45.9, 16, 67627},  {Tan, -45.9, 16, -67627},
               {Tan, 46, 16, 0},          {Tan, -46, 16, 0},       {Tan, 90, 16, 0},
               {Cos, 30, 0, 0},           {Cos, 180, 0, -1},       {Cos, 0, 32, 1},
               {Cos, 0, 33, 2},           {Cos, 0, -16, 65536},    {Cos, 180, 30, -1073741824},
               {Cos, 0, 31, INT_MIN},     {Cos, 180, 31, INT_MAX}, {Tan, 45.9, 31, INT_MIN},
               {Tan, -45.9, 31, INT_MAX}, {Cos, INFINITY, 16, 0},  {Sin, NAN, 16, 0},
               {Tan, NAN, 16, 0},         {Tan, 1e20, 16, 0}};
  for (const auto& c : cases) {
    int got = c.fn == Cos   ? CalculateCosinusPrecized(c.degrees, c.bits)
              : c.fn == Sin ? CalculateSinusPrecized(c.degrees, c.bits)
                            : CalculateTangensPrecized(c.degrees, c.bits);
    EXPECT_EQ(got, c.result) << c.fn << " " << c.degrees << " " << c.bits;
  }
}

}  // namespace
