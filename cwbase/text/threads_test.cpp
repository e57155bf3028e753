// The text helpers on several threads at once, each thread with buffers of
// its own: the converters, the tokenising parsers (own wcstok save pointers),
// the formatters and the string helpers keep no hidden state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "cwbase/text/dates.h"
#include "cwbase/text/encoding.h"
#include "cwbase/text/numbers.h"
#include "cwbase/text/strhelp.h"
#include "testing/scopes.h"
#include "testing/threads.h"

namespace {

std::string Digest(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) s += std::to_string(static_cast<long>(*w)) + ".";
  return s + "|";
}

std::string TextWork(unsigned salt) {
  std::string d;
  for (unsigned round = 0; round < 40; ++round) {
    unsigned k = salt * 100 + round;
    // UTF-8 both ways, whole strings and counted runs.
    std::wstring wide = L"a\u00e9\u20ac" + std::to_wstring(k) + L"\U0001F600";
    unsigned char* utf8 = make_utf8_string(wide.c_str());
    wchar_t* back = make_unicode_string(utf8);
    d += reinterpret_cast<char*>(utf8) + Digest(back);
    std::free(utf8);
    std::free(back);
    char bytes[64] = {};
    int n = WstrtoUtf8(bytes, 64, &wide[0], static_cast<int>(wide.size()));
    wchar_t units[64] = {};
    int written = Utf8toWStr(units, 64, bytes, n);
    d += std::to_string(written) + Digest(units);
    // The locale pair (C.UTF-8, chosen before the threads start).
    char mb[64] = {};
    WideCharToMultiByte(0, 0, wide.c_str(), -1, mb, 64, nullptr, nullptr);
    wchar_t w2[64] = {};
    written = MultiByteToWideChar(0, 0, mb, -1, w2, 64);
    d += std::to_string(written) + Digest(w2);

    // Tokenising parsers and formatters.
    wchar_t text[64];
    std::swprintf(text, 64, L"%u.%u.%u, %u:%u:%u:%u", k % 28 + 1, k % 12 + 1, 2000 + k, k % 24,
                  k % 60, (k * 7) % 60, k % 1000);
    SYSTEMTIME t;
    DateFromStringDDMMYYYY_HHMMSSMS(text, &t);
    wchar_t printed[64];
    DateToStringDDMMYYYY_HHMMSSMS(&t, printed);
    d += Digest(printed);
    std::swprintf(text, 64, L"%u.%u.%u.%u", k, k + 1, k * 3, k % 7);
    long long v = GetVersionFromString(text);
    VersionToString(printed, v);
    d += Digest(printed);
    FloatToStr(StrToFloat(text) * 1.5, static_cast<int>(round % 5), printed, 64);
    d += Digest(printed);
    d += std::to_string(CalculateSinusPrecized(k, 16)) + ",";

    // String helpers.
    wchar_t trimmed[64];
    std::swprintf(trimmed, 64, L"  -%u- \t", k);
    _tcstrimmulti(trimmed, L" \t-");
    d += Digest(trimmed);
    wchar_t masked[32];
    MaskText(masked, 32, std::to_wstring(k * 12345).c_str(), L"#,###,###.##", 1);
    d += Digest(masked);
    wchar_t param[16] = {};
    std::wstring cmd = L"run /n:" + std::to_wstring(k) + L" /x:\"a b\"";
    GetCmdLineParam(cmd.c_str(), L"/n:", param, 15);
    d += Digest(param);
  }
  return d;
}

TEST(Threads, IndependentTextConversions) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  ExpectSameOnThreads(TextWork);
}

}  // namespace
