// Dates, file times and version numbers with cwbase.
//
//   dates_versions [DATE [VERSION]]
//
// DATE is a day-first text such as "07.03.2024, 09:05:02:045" (or 7/3/2024 9:05);
// VERSION a four-part version text such as 2.10.0.7. Both have defaults.
#include <clocale>
#include <cstdio>
#include <vector>

#include <cwbase/platform/systime.h>
#include <cwbase/text/dates.h>
#include <cwbase/text/encoding.h>
#include <cwbase/text/numbers.h>

namespace {

// Command-line text is in the locale's encoding; the library works on wide text.
std::vector<wchar_t> Widen(const char* text) {
  int units = MultiByteToWideChar(0, 0, text, -1, nullptr, 0);  // size query
  if (units < 0) units = 0;  // not valid in this locale: use an empty text
  std::vector<wchar_t> wide(static_cast<size_t>(units) + 1, 0);
  if (units > 0) MultiByteToWideChar(0, 0, text, -1, wide.data(), units + 1);
  return wide;
}

// FILETIME is one 64-bit count of 100 ns since 1601-01-01, split in halves.
unsigned long long Ticks(const FILETIME& ft) {
  return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void PrintFormats(const char* label, SYSTEMTIME& t) {
  wchar_t full[64], minutes[64], date[64];  // no size is passed: 43 units suffice
  DateToStringDDMMYYYY_HHMMSSMS(&t, full);
  DateToStringDDMMYYYY_HHMM(&t, minutes);
  DateToStringDDMMYYYY(&t, date);
  std::printf("%-8s %ls | %ls | %ls\n", label, full, minutes, date);
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<wchar_t> dateText = Widen(argc > 1 ? argv[1] : "07.03.2024, 09:05:02:045");
  std::vector<wchar_t> versionText = Widen(argc > 2 ? argv[2] : "2.10.0.7");

  // Now, as local time and as UTC. The records carry no zone: the caller has
  // to remember which is which.
  SYSTEMTIME now{}, utc{};
  GetLocalTime(&now);
  GetSystemTime(&utc);
  PrintFormats("local", now);
  PrintFormats("utc", utc);

  // Reading a day-first text never fails: missing numbers are 0 and nothing is
  // checked, so 31.02.2024 is day 31 of month 2. Validate what you need.
  SYSTEMTIME parsed{};
  DateFromStringDDMMYYYY_HHMMSSMS(dateText.data(), &parsed);
  PrintFormats("parsed", parsed);
  if (parsed.wMonth < 1 || parsed.wMonth > 12 || parsed.wDay < 1 || parsed.wDay > 31)
    std::printf("         (not a calendar date: month %u, day %u)\n", parsed.wMonth, parsed.wDay);

  // File times: SystemTimeToFileTime reads the record as LOCAL time (mktime in
  // the process's time zone, TZ). Convert GetSystemTime's UTC record only in a
  // process whose zone is UTC.
  FILETIME parsedFt{}, nowFt{};
  SystemTimeToFileTime(&parsed, &parsedFt);
  SystemTimeToFileTime(&now, &nowFt);
  const unsigned long long kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 as FILETIME
  std::printf("filetime %llu (Unix time %lld)\n", Ticks(parsedFt),
              (static_cast<long long>(Ticks(parsedFt) - kUnixEpoch)) / 10000000);
  long long apart = static_cast<long long>(Ticks(nowFt) - Ticks(parsedFt)) / 10000000;
  // CompareDateTime compares field by field (1 later, -1 earlier, 0 equal).
  int order = CompareDateTime(&parsed, &now);
  std::printf("parsed is %s now (%lld s apart)\n",
              order < 0   ? "before"
              : order > 0 ? "after"
                          : "equal to",
              apart < 0 ? -apart : apart);

  // Versions: four 16-bit parts packed into a long long, first part on top, so
  // comparing the packed values compares the versions. Compare them as
  // unsigned: a first part of 32768 or more makes the signed value negative.
  long long version = GetVersionFromString(versionText.data());
  long long minimum = GetVersionFromString(L"2.9.15");  // missing parts are 0
  wchar_t text[64];
  VersionToString(text, version);  // always four parts: 2.10 prints as 2.10.0.0
  std::printf("version  %ls = 0x%016llX, %s 2.9.15.0\n", text,
              static_cast<unsigned long long>(version),
              static_cast<unsigned long long>(version) >= static_cast<unsigned long long>(minimum)
                  ? "at least"
                  : "older than");
  return 0;
}
