// Null pointers and sizes of zero or less, which make each text helper do
// nothing: no write, no read, the documented neutral answer.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "cwbase/text/dates.h"
#include "cwbase/text/numbers.h"
#include "cwbase/text/strhelp.h"

namespace {

TEST(TextEdges, NullArgumentsAndEmptySizesDoNothing) {
  wchar_t out[8] = L"keep";
  auto kept = [&] { return std::wstring(out) == L"keep"; };
  EXPECT_EQ(0, _unsafe_swprintf(nullptr, L"%d", 1));
  EXPECT_EQ(0, _unsafe_swprintf(out, nullptr));
  EXPECT_TRUE(kept());
  TraceOut(nullptr);
  TraceOut(L"%ls %d", L"dropped", 1);

  unsigned char bytes[4] = {1, 2, 3, 4};
  ZeroIt(nullptr, 4);
  ZeroIt(bytes, 0);
  ZeroIt(bytes, -4);
  EXPECT_EQ(1, bytes[0]);
  EXPECT_EQ(nullptr, memmem(nullptr, bytes, 4, 1));
  EXPECT_EQ(nullptr, memmem(bytes, nullptr, 4, 1));
  EXPECT_EQ(nullptr, memmem(bytes, bytes, -1, 1));
  EXPECT_EQ(bytes, memmem(bytes, nullptr, 4, 0));  // an empty pattern matches at 0

  _stprintfbytes(nullptr, bytes, 4);
  _stprintfbytes(out, nullptr, 4);
  _stprintfbytes(out, bytes, 0);
  _stprintfbytes(out, bytes, -1);
  EXPECT_TRUE(kept());

  wchar_t text[] = L"  x  ";
  _tcstrimmulti(text, nullptr);
  _tcstrimmulti(nullptr, L" ");
  EXPECT_EQ(std::wstring(L"  x  "), text);

  GetCmdLineParam(nullptr, L"/a", out, 4);
  GetCmdLineParam(L"/a1", nullptr, out, 4);
  GetCmdLineParam(L"/a1", L"/a", nullptr, 4);
  GetCmdLineParam(L"/a1", L"/a", out, 0);
  GetCmdLineParam(L"/a1", L"/a", out, -3);
  EXPECT_TRUE(kept());

  MaskText(out, 8, nullptr, L"###", 0);
  MaskText(nullptr, 8, L"123", L"###", 0);
  EXPECT_TRUE(kept());
  MaskText(out, 0, L"123", L"###", 0);  // capacity 0: nothing cleared, nothing written
  EXPECT_TRUE(kept());
  MaskText(out, 0, L"123", nullptr, 0);
  EXPECT_TRUE(kept());
}

TEST(TextEdges, NumberAndDateNullArguments) {
  wchar_t out[8] = L"keep";
  EXPECT_EQ(0, FloatToStr(1.5, 2, nullptr, 8));
  EXPECT_EQ(0, FloatToStr(1.5, 2, out, 0));
  EXPECT_EQ(0, FloatToStr(1.5, 2, out, -1));
  VersionToString(nullptr, 0x0001000200030004LL);
  EXPECT_EQ(std::wstring(L"keep"), out);
  EXPECT_EQ(0, GetVersionFromString(L""));
  EXPECT_EQ(0.0, StrToFloat(nullptr));
  EXPECT_EQ(0, GetFileVersion(nullptr));
  EXPECT_EQ(0, GetLegalFileInfo(nullptr, out, 8));
  EXPECT_EQ(std::wstring(L"keep"), out);

  SYSTEMTIME t{};
  t.wYear = 2024;
  DateToStringDDMMYYYY_HHMM(&t, nullptr);
  DateToStringDDMMYYYY(nullptr, out);
  DateToStringDDMMYYYY_HHMMSSMS(nullptr, out);
  EXPECT_EQ(std::wstring(L"keep"), out);
  DateFromStringDDMMYYYY_HHMMSSMS(L"1.2.3", nullptr);
  DateFromStringDDMMYYYY(nullptr, &t);
  EXPECT_EQ(2024, t.wYear);
}

}  // namespace
