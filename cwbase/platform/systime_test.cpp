#include "cwbase/platform/systime.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace {

// Sets TZ for the life of the object and restores the previous value.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    m_Had = old != nullptr;
    if (old) m_Old = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (m_Had)
      setenv("TZ", m_Old.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool m_Had;
  std::string m_Old;
};

SYSTEMTIME Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0, int dow = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<unsigned short>(y);
  t.wMonth = static_cast<unsigned short>(mo);
  t.wDay = static_cast<unsigned short>(d);
  t.wHour = static_cast<unsigned short>(h);
  t.wMinute = static_cast<unsigned short>(mi);
  t.wSecond = static_cast<unsigned short>(s);
  t.wMilliseconds = static_cast<unsigned short>(ms);
  t.wDayOfWeek = static_cast<unsigned short>(dow);
  return t;
}

std::uint64_t FileTimeOf(SYSTEMTIME t) {
  FILETIME f{0xDEADBEEF, 0xDEADBEEF};
  SystemTimeToFileTime(&t, &f);
  return (std::uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime;
}

bool SameFields(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
         a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
         a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

TEST(SystemTime, RecordLayout) {
  static_assert(sizeof(SYSTEMTIME) == 16, "eight 16-bit fields");
  static_assert(sizeof(FILETIME) == 8, "two 32-bit halves");
  static_assert(offsetof(SYSTEMTIME, wDayOfWeek) == 4 && offsetof(SYSTEMTIME, wDay) == 6 &&
                    offsetof(SYSTEMTIME, wMilliseconds) == 14,
                "field order");
  static_assert(offsetof(FILETIME, dwHighDateTime) == 4, "low half first");
}

TEST(SystemTime, FileTimeFiguresInUtc) {
  ScopedTimeZone utc("UTC0");
  FILETIME f{};
  SYSTEMTIME epoch = Make(1970, 1, 1);
  SystemTimeToFileTime(&epoch, &f);
  EXPECT_EQ(0xD53E8000u, f.dwLowDateTime);
  EXPECT_EQ(0x019DB1DEu, f.dwHighDateTime);
  EXPECT_EQ(125911584000000000ULL, FileTimeOf(Make(2000, 1, 1)));
  EXPECT_EQ(125911584009990000ULL, FileTimeOf(Make(2000, 1, 1, 0, 0, 0, 999)));
  // Day of week plays no part; milliseconds are taken unchecked.
  EXPECT_EQ(125911584000000000ULL, FileTimeOf(Make(2000, 1, 1, 0, 0, 0, 0, 5)));
  EXPECT_EQ(125911584000000000ULL + 65535ULL * 10000, FileTimeOf(Make(2000, 1, 1, 0, 0, 0, 65535)));
  // One second before the epoch: t is signed.
  EXPECT_EQ(116444736000000000ULL - 10000000ULL, FileTimeOf(Make(1969, 12, 31, 23, 59, 59)));
}

TEST(SystemTime, FileTimeNormalisesAPrivateCopy) {
  ScopedTimeZone utc("UTC0");
  SYSTEMTIME thirteenth = Make(2023, 13, 1);
  SYSTEMTIME before = thirteenth;
  EXPECT_EQ(FileTimeOf(Make(2024, 1, 1)), FileTimeOf(thirteenth));
  EXPECT_TRUE(SameFields(before, thirteenth));
  EXPECT_EQ(FileTimeOf(Make(2024, 2, 29)), FileTimeOf(Make(2024, 3, 0)));
}

TEST(SystemTime, FileTimeReadsLocalTimeWithDaylightSaving) {
  std::uint64_t winter, summer;
  {
    ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
    winter = FileTimeOf(Make(2024, 1, 15, 12));
    summer = FileTimeOf(Make(2024, 7, 15, 12));
  }
  ScopedTimeZone utc("UTC0");
  EXPECT_EQ(FileTimeOf(Make(2024, 1, 15, 11)), winter);
  EXPECT_EQ(FileTimeOf(Make(2024, 7, 15, 10)), summer);
}

TEST(SystemTime, SecondsWrapAsA32BitCount) {
  ScopedTimeZone utc("UTC0");
  // 2038-01-19 03:14:08 UTC is 2^31 seconds: it counts as -2^31.
  std::uint64_t expected = 116444736000000000ULL - 2147483648ULL * 10000000ULL;
  EXPECT_EQ(expected, FileTimeOf(Make(2038, 1, 19, 3, 14, 8)));
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
  EXPECT_EQ(0, CompareDateTime(nullptr, &t));
  EXPECT_EQ(0, CompareDateTime(&t, nullptr));
}

TEST(SystemTime, CurrentTimeMatchesTheClock) {
  ScopedTimeZone utc("UTC0");
  for (int attempt = 0; attempt < 5; ++attempt) {
    timeval before{}, after{};
    SYSTEMTIME system{}, local{};
    gettimeofday(&before, nullptr);
    GetSystemTime(&system);
    GetLocalTime(&local);
    gettimeofday(&after, nullptr);
    if (before.tv_sec != after.tv_sec) continue;  // a second passed: fields may differ
    EXPECT_EQ(system.wYear, local.wYear);
    EXPECT_EQ(system.wDay, local.wDay);
    EXPECT_EQ(system.wHour, local.wHour);
    EXPECT_EQ(system.wSecond, local.wSecond);
    tm parts{};
    time_t now = before.tv_sec;
    gmtime_r(&now, &parts);
    EXPECT_EQ(parts.tm_wday, system.wDayOfWeek);
    std::uint64_t low = 116444736000000000ULL + std::uint64_t(before.tv_sec) * 10000000ULL +
                        std::uint64_t(before.tv_usec / 1000) * 10000ULL;
    std::uint64_t high = 116444736000000000ULL + std::uint64_t(after.tv_sec) * 10000000ULL +
                         std::uint64_t(after.tv_usec / 1000) * 10000ULL;
    std::uint64_t got = FileTimeOf(system);
    EXPECT_LE(low, got);
    EXPECT_GE(high, got);
    return;
  }
  GTEST_SKIP() << "the clock kept crossing second boundaries";
}

TEST(SystemTime, LocalTimeFollowsTheZone) {
  ScopedTimeZone east("XST-5");  // five hours ahead of UTC, no daylight saving
  for (int attempt = 0; attempt < 5; ++attempt) {
    SYSTEMTIME system{}, local{};
    GetSystemTime(&system);
    GetLocalTime(&local);
    if (system.wSecond != local.wSecond) continue;  // a second passed in between
    local.wMilliseconds = system.wMilliseconds;
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(FileTimeOf(system) + 5 * 36000000000ULL, FileTimeOf(local));
    return;
  }
  GTEST_SKIP() << "the clock kept crossing second boundaries";
}

TEST(SystemTime, CompareDateTimeFieldByField) {
  struct Case {
    SYSTEMTIME a, b;
    int expected;
  } cases[] = {
      {Make(2024, 1, 31), Make(2024, 2, 1), -1},
      {Make(2024, 2, 1), Make(2024, 1, 31), 1},
      {Make(2024, 1, 1, 0, 0, 0, 0, 1), Make(2024, 1, 1, 0, 0, 0, 0, 6), 0},
      {Make(2024, 1, 1, 0, 0, 0, 1), Make(2024, 1, 1), 1},
      {Make(2024, 1, 1, 23, 59, 59, 999), Make(2024, 1, 2), -1},
      {Make(2025, 1, 1), Make(2024, 12, 31, 23), 1},
      {Make(65535, 1, 1), Make(1, 1, 1), 1},  // unsigned comparison
      {Make(2024, 13, 1), Make(2025, 1, 1), -1},  // nothing is normalised
  };
  for (Case& c : cases) EXPECT_EQ(c.expected, CompareDateTime(&c.a, &c.b));
}

TEST(SystemTime, ThreadIdIsTheProcessId) {
  unsigned int here = GetCurrentThreadId();
  unsigned int there = 0;
  std::thread([&] { there = GetCurrentThreadId(); }).join();
  EXPECT_EQ(static_cast<unsigned int>(getpid()), here);
  EXPECT_EQ(here, there);
}

TEST(SystemTime, AddTimeChangesNothing) {
  SYSTEMTIME a = Make(2024, 1, 1), b = Make(2024, 1, 2);
  EXPECT_EQ(0, AddTime(&a, &b));
  EXPECT_TRUE(SameFields(a, Make(2024, 1, 1)));
  EXPECT_EQ(0, AddTime(nullptr, nullptr));
}

}  // namespace
