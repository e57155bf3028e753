#include "cwbase/text/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cwchar>
#include <limits>
#include <string>

namespace {

// The decimal point of the tests' numbers is the C locale's.
class NumericLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
  }
  void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
  std::string saved_;
};

using NumbersText = NumericLocale;

TEST_F(NumbersText, VersionRoundTrip) {
  struct Case {
    unsigned long long value;
    const wchar_t* text;
  } cases[] = {
      {0x0001000200030004ULL, L"1.2.3.4"},
      {0xFFFF000000000000ULL, L"65535.0.0.0"},
      {0, L"0.0.0.0"},
      {0x8000FFFF00017FFFULL, L"32768.65535.1.32767"},
  };
  for (const Case& c : cases) {
    wchar_t buf[64];
    VersionToString(buf, static_cast<long long>(c.value));
    EXPECT_STREQ(buf, c.text);
    EXPECT_EQ(static_cast<unsigned long long>(GetVersionFromString(c.text)), c.value) << c.text;
  }
  VersionToString(nullptr, 1);
}

TEST_F(NumbersText, VersionFromLenientText) {
  struct Case {
    const wchar_t* text;
    unsigned long long value;
  } cases[] = {
      {L"1.2", 0x0001000200000000ULL},     {L"1..2", 0x0001000200000000ULL},
      {L".1.2.", 0x0001000200000000ULL},   {L"1.2.3.4.5", 0x0001000200030004ULL},
      {L"65536.1", 0x0000000100000000ULL}, {L"-1", 0xFFFF000000000000ULL},
      {L" 7x.8", 0x0007000800000000ULL},   {L"abc", 0},
      {L"", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<unsigned long long>(GetVersionFromString(c.text)), c.value) << c.text;
  EXPECT_EQ(GetVersionFromString(nullptr), 0);

  // Only the first 127 units are read: the 7 in the 128th unit is lost.
  std::wstring longText = L"1." + std::wstring(124, L'0') + L"27";
  ASSERT_EQ(longText.size(), 128u);
  EXPECT_EQ(static_cast<unsigned long long>(GetVersionFromString(longText.c_str())),
            0x0001000200000000ULL);
}

TEST_F(NumbersText, FloatTextBothWays) {
  struct Case {
    double value;
    int decimals;
    int size;
    const wchar_t* out;
  } cases[] = {
      {3.14159, 2, 32, L"3.14"}, {3.14159, 0, 32, L"3"},   {-2.5, 3, 32, L"-2.500"},
      {3.14159, 2, 5, L"3.14"},  {3.14159, 2, 4, L""},      {3.14159, -2, 32, L"3"},
      {1.0, 2000, 32, L""},      {1e300, 800, 32, L""},     {0.5, 1021, 2, L""},
  };
  for (const Case& c : cases) {
    wchar_t buf[40];
    std::wmemset(buf, 0x5A5A, 40);
    EXPECT_EQ(FloatToStr(c.value, c.decimals, buf, c.size), 0);
    EXPECT_STREQ(buf, c.out) << c.value << " " << c.decimals;
    EXPECT_EQ(buf[c.size], 0x5A5A);
  }
  wchar_t untouched[2] = {0x5A5A, 0};
  FloatToStr(1.0, 2, untouched, 0);
  EXPECT_EQ(untouched[0], 0x5A5A);

  EXPECT_EQ(StrToFloat(L"2.5e3"), 2500.0);
  EXPECT_EQ(StrToFloat(L"  12abc"), 12.0);
  EXPECT_EQ(StrToFloat(L"abc"), 0.0);
  EXPECT_EQ(StrToFloat(nullptr), 0.0);
}

TEST(NumbersFile, AlwaysZero) {
  wchar_t path[] = L"/etc/hostname";
  wchar_t dest[4] = {0x5A5A, 0, 0, 0};
  EXPECT_EQ(GetFileVersion(path), 0);
  EXPECT_EQ(GetLegalFileInfo(path, dest, 4), 0);
  EXPECT_EQ(dest[0], 0x5A5A);
}

TEST(NumbersTrig, TruncatedFixedPoint) {
  enum Fn { Cos, Sin, Tan };
  struct Case {
    Fn fn;
    double degrees;
    int bits;
    int result;
  } cases[] = {
      {Cos, 0, 16, 65536},     {Cos, 60, 16, 32768},     {Cos, 90, 16, 0},
      {Cos, 180, 16, -65536},  {Sin, 30, 16, 32767},     {Sin, 90, 16, 65536},
      {Sin, -30, 16, -32767},  {Cos, 90, 30, 1},         {Sin, 180, 30, 3},
      {Tan, 45, 16, 65535},    {Tan, 45.9, 16, 67627},   {Tan, -45.9, 16, -67627},
      {Tan, 46, 16, 0},        {Tan, 60, 16, 0},         {Tan, 90, 16, 0},
      {Tan, -46, 16, 0},       {Cos, 30, 0, 0},          {Cos, 180, 0, -1},
      {Cos, 0, 32, 1},         {Cos, 0, 33, 2},          {Cos, 0, -16, 65536},
      {Cos, 0, 31, INT_MIN},   {Cos, 180, 31, INT_MAX},  {Cos, 180, 30, -1073741824},
      {Tan, 45.9, 31, INT_MIN},   {Tan, -45.9, 31, INT_MAX},
  };
  for (const Case& c : cases) {
    int got = c.fn == Cos   ? CalculateCosinusPrecized(c.degrees, c.bits)
              : c.fn == Sin ? CalculateSinusPrecized(c.degrees, c.bits)
                            : CalculateTangensPrecized(c.degrees, c.bits);
    EXPECT_EQ(got, c.result) << c.fn << " " << c.degrees << " " << c.bits;
  }
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(CalculateCosinusPrecized(inf, 16), 0);
  EXPECT_EQ(CalculateSinusPrecized(nan, 16), 0);
  EXPECT_EQ(CalculateTangensPrecized(nan, 16), 0);
  EXPECT_EQ(CalculateTangensPrecized(1e20, 16), 0);
}

}  // namespace
