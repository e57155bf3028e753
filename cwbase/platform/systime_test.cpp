#include "cwbase/platform/systime.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <thread>

#include "testing/scopes.h"
#include "testing/systime.h"

namespace {

static_assert(sizeof(SYSTEMTIME) == 16 && offsetof(SYSTEMTIME, wDayOfWeek) == 4 &&
                  offsetof(SYSTEMTIME, wDay) == 6 && offsetof(SYSTEMTIME, wMilliseconds) == 14,
              "eight 16-bit fields in their order");
static_assert(sizeof(FILETIME) == 8 && offsetof(FILETIME, dwHighDateTime) == 4, "low half first");

SYSTEMTIME Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return CWTestSystemTime(y, mo, d, h, mi, s, ms);
}

std::uint64_t FileTimeOf(SYSTEMTIME t) {
  FILETIME f{0xDEADBEEF, 0xDEADBEEF};
  SystemTimeToFileTime(&t, &f);
  return (std::uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime;
}

const std::uint64_t kSecond = 10000000ULL, kEpoch = 116444736000000000ULL;

TEST(SystemTime, FileTimeFiguresInUtc) {
  CWTestTimeZone utc("UTC0");
  FILETIME f{};
  SYSTEMTIME epoch = Make(1970, 1, 1);
  SystemTimeToFileTime(&epoch, &f);
  EXPECT_EQ(0xD53E8000u, f.dwLowDateTime);
  EXPECT_EQ(0x019DB1DEu, f.dwHighDateTime);
  EXPECT_EQ(125911584000000000ULL, FileTimeOf(Make(2000, 1, 1)));
  EXPECT_EQ(125911584009990000ULL, FileTimeOf(Make(2000, 1, 1, 0, 0, 0, 999)));
  SYSTEMTIME unchecked = Make(2000, 1, 1, 0, 0, 0, 65535);
  unchecked.wDayOfWeek = 5;  // plays no part
  EXPECT_EQ(125911584000000000ULL + 65535ULL * 10000, FileTimeOf(unchecked));
  EXPECT_EQ(kEpoch - kSecond, FileTimeOf(Make(1969, 12, 31, 23, 59, 59)));
  // 2038-01-19 03:14:08 is 2^31 seconds, which a signed 32-bit count wraps.
  EXPECT_EQ(kEpoch - 2147483648ULL * kSecond, FileTimeOf(Make(2038, 1, 19, 3, 14, 8)));

  SYSTEMTIME thirteenth = Make(2023, 13, 1);
  EXPECT_EQ(FileTimeOf(Make(2024, 1, 1)), FileTimeOf(thirteenth));
  EXPECT_EQ(13, thirteenth.wMonth);  // normalised on a private copy
  EXPECT_EQ(FileTimeOf(Make(2024, 2, 29)), FileTimeOf(Make(2024, 3, 0)));
}

TEST(SystemTime, FileTimeReadsLocalTimeWithDaylightSaving) {
  std::uint64_t winter, summer;
  {
    CWTestTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    winter = FileTimeOf(Make(2024, 1, 15, 12));
    summer = FileTimeOf(Make(2024, 7, 15, 12));
  }
  CWTestTimeZone utc("UTC0");
  EXPECT_EQ(FileTimeOf(Make(2024, 1, 15, 11)), winter);
  EXPECT_EQ(FileTimeOf(Make(2024, 7, 15, 10)), summer);
}

TEST(SystemTime, CurrentTimeFollowsClockAndZone) {
  CWTestTimeZone east("XST-5");  // five hours ahead of UTC
  for (int attempt = 0; attempt < 5; ++attempt) {
    timeval before{}, after{};
    SYSTEMTIME system{}, local{};
    gettimeofday(&before, nullptr);
    GetSystemTime(&system);
    GetLocalTime(&local);
    gettimeofday(&after, nullptr);
    if (before.tv_sec != after.tv_sec) continue;  // a second boundary passed
    tm parts{};
    gmtime_r(&before.tv_sec, &parts);
    EXPECT_EQ(parts.tm_wday, system.wDayOfWeek);
    CWTestTimeZone utc("UTC0");
    std::uint64_t got = FileTimeOf(system);
    EXPECT_LE(kEpoch + before.tv_sec * kSecond + before.tv_usec / 1000 * 10000ULL, got);
    EXPECT_GE(kEpoch + after.tv_sec * kSecond + after.tv_usec / 1000 * 10000ULL, got);
    local.wMilliseconds = system.wMilliseconds;
    EXPECT_EQ(got + 5 * 3600 * kSecond, FileTimeOf(local));
    return;
  }
  GTEST_SKIP() << "the clock kept crossing second boundaries";
}

TEST(SystemTime, NullPointersDoNothing) {
  SYSTEMTIME t = Make(2000, 1, 1);
  FILETIME f{1, 2};
  SystemTimeToFileTime(nullptr, &f);
  SystemTimeToFileTime(&t, nullptr);
  EXPECT_EQ(1u, f.dwLowDateTime);
  EXPECT_EQ(2u, f.dwHighDateTime);
  GetLocalTime(nullptr);
  GetSystemTime(nullptr);
}

TEST(SystemTime, CompareDateTimeFieldByField) {
  struct Case {
    SYSTEMTIME a, b;
    int expected;
  } cases[] = {
      {Make(2024, 1, 31), Make(2024, 2, 1), -1},
      {Make(2024, 2, 1), Make(2024, 1, 31), 1},
      {Make(2024, 1, 1, 0, 0, 0, 1), Make(2024, 1, 1), 1},
      {Make(2024, 1, 1, 23, 59, 59, 999), Make(2024, 1, 2), -1},
      {Make(65535, 1, 1), Make(1, 1, 1), 1},      // unsigned
      {Make(2024, 13, 1), Make(2025, 1, 1), -1},  // not normalised
      {Make(2024, 5, 5), Make(2024, 5, 5), 0},
  };
  for (Case& c : cases) EXPECT_EQ(c.expected, CompareDateTime(&c.a, &c.b));
  cases[6].a.wDayOfWeek = 3;  // never compared
  EXPECT_EQ(0, CompareDateTime(&cases[6].a, &cases[6].b));
  EXPECT_EQ(0, CompareDateTime(nullptr, &cases[0].b));
  EXPECT_EQ(0, CompareDateTime(&cases[0].a, nullptr));
}

TEST(SystemTime, ThreadIdIsTheProcessId) {
  unsigned int there = 0;
  std::thread([&] { there = GetCurrentThreadId(); }).join();
  EXPECT_EQ(static_cast<unsigned int>(getpid()), GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), there);
}

}  // namespace
