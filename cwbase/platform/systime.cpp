#include "cwbase/platform/systime.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>

namespace {

// Intervals of 100 ns between 1601-01-01 and 1970-01-01.
const std::uint64_t kUnixEpochInFileTime = 116444736000000000ULL;

void FillFromClock(SYSTEMTIME* out, bool local) {
  if (!out) return;
  timeval now{};
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  tm parts{};
  if (local)
    localtime_r(&seconds, &parts);
  else
    gmtime_r(&seconds, &parts);
  out->wYear = static_cast<unsigned short>(parts.tm_year + 1900);
  out->wMonth = static_cast<unsigned short>(parts.tm_mon + 1);
  out->wDayOfWeek = static_cast<unsigned short>(parts.tm_wday);
  out->wDay = static_cast<unsigned short>(parts.tm_mday);
  out->wHour = static_cast<unsigned short>(parts.tm_hour);
  out->wMinute = static_cast<unsigned short>(parts.tm_min);
  out->wSecond = static_cast<unsigned short>(parts.tm_sec);
  out->wMilliseconds = static_cast<unsigned short>(now.tv_usec / 1000);
}

}  // namespace

void GetLocalTime(SYSTEMTIME* out) {
  FillFromClock(out, true);
}

void GetSystemTime(SYSTEMTIME* out) {
  FillFromClock(out, false);
}

void SystemTimeToFileTime(SYSTEMTIME* in, FILETIME* out) {
  if (!in || !out) return;
  tm parts{};
  parts.tm_sec = in->wSecond;
  parts.tm_min = in->wMinute;
  parts.tm_hour = in->wHour;
  parts.tm_mday = in->wDay;
  parts.tm_mon = in->wMonth - 1;
  parts.tm_year = in->wYear - 1900;
  parts.tm_isdst = -1;
  // Seconds as a 32-bit count (modular narrowing), then sign-extended.
  std::int32_t t = static_cast<std::int32_t>(static_cast<std::uint32_t>(mktime(&parts)));
  std::uint64_t v = static_cast<std::uint64_t>(static_cast<std::int64_t>(t));
  v = (v * 1000u + in->wMilliseconds) * 10000u + kUnixEpochInFileTime;
  out->dwLowDateTime = static_cast<unsigned int>(v);
  out->dwHighDateTime = static_cast<unsigned int>(v >> 32);
}

int CompareDateTime(SYSTEMTIME* a, SYSTEMTIME* b) {
  if (!a || !b) return 0;
  const unsigned short SYSTEMTIME::*const order[] = {
      &SYSTEMTIME::wYear,   &SYSTEMTIME::wMonth,  &SYSTEMTIME::wDay,         &SYSTEMTIME::wHour,
      &SYSTEMTIME::wMinute, &SYSTEMTIME::wSecond, &SYSTEMTIME::wMilliseconds};
  for (auto field : order) {
    if (a->*field != b->*field) return a->*field > b->*field ? 1 : -1;
  }
  return 0;
}

unsigned int GetCurrentThreadId() {
  return static_cast<unsigned int>(getpid());
}

int AddTime(SYSTEMTIME*, SYSTEMTIME*) {
  return 0;
}
