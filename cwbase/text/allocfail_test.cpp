// Allocation failures in the text helpers, made real by a capped and
// exhausted address space (see core/addresslimit_test.h).
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "cwbase/text/encoding.h"
#include "cwbase/text/strhelp.h"
#include "testing/addresslimit.h"

namespace {

TEST(AllocationFailure, ConvertersAnswerNullAndTrimsChangeNothing) {
  CWRunWithAddressLimit([] {
    wchar_t wide[] = L"  wide  ";
    char narrow[] = "--narrow--";
    CWTestExhaustMemory();
    CW_TEST_CHILD_CHECK(make_utf8_string(L"abc") == nullptr);
    CW_TEST_CHILD_CHECK(make_unicode_string(reinterpret_cast<const unsigned char*>("abc")) ==
                        nullptr);
    _tcstrim(wide, L' ');
    _tcstrimmulti(wide, L" ");
    strtrim(narrow, '-');
    CW_TEST_CHILD_CHECK(std::wcscmp(wide, L"  wide  ") == 0);
    CW_TEST_CHILD_CHECK(std::strcmp(narrow, "--narrow--") == 0);
  });
}

}  // namespace
