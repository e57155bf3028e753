// cwtool date: the current time, or a day-first text, in the three date
// formats, with its file time.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cwbase/platform/systime.h"
#include "cwbase/text/dates.h"
#include "tools/command.h"

namespace {

// The locale's multibyte form of a wide text (date texts are plain ASCII).
std::string ToBytes(const wchar_t* text) {
  std::string out;
  return CWToolToBytes(text, out) ? out : "?";
}

void PrintFormats(const char* label, SYSTEMTIME time) {
  wchar_t full[64], minutes[64], date[64];
  DateToStringDDMMYYYY_HHMMSSMS(&time, full);
  DateToStringDDMMYYYY_HHMM(&time, minutes);
  DateToStringDDMMYYYY(&time, date);
  std::printf("%-10s %-28s %-20s %s\n", label, ToBytes(full).c_str(), ToBytes(minutes).c_str(),
              ToBytes(date).c_str());
}

void PrintFileTime(const char* label, SYSTEMTIME time) {
  FILETIME file{};
  SystemTimeToFileTime(&time, &file);
  std::uint64_t value = (std::uint64_t{file.dwHighDateTime} << 32) | file.dwLowDateTime;
  std::printf("%-10s %llu 0x%016llX\n", label, static_cast<unsigned long long>(value),
              static_cast<unsigned long long>(value));
}

void PrintFields(SYSTEMTIME t) {
  std::printf(
      "fields     wDay=%u wMonth=%u wYear=%u wHour=%u wMinute=%u wSecond=%u "
      "wMilliseconds=%u wDayOfWeek=%u\n",
      t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) {
    SYSTEMTIME local{}, utc{};
    GetLocalTime(&local);
    GetSystemTime(&utc);
    PrintFormats("local", local);
    PrintFormats("utc", utc);
    PrintFileTime("filetime", local);
    return CWTOOL_OK;
  }
  std::string text = args[0];
  for (size_t i = 1; i < args.size(); ++i) text += " " + args[i];
  std::vector<wchar_t> wide;
  if (!CWToolToWide(text, wide))
    return CWToolFail(CWTOOL_REJECTED, text + ": not valid text in the current locale");
  SYSTEMTIME time{};
  DateFromStringDDMMYYYY_HHMMSSMS(wide.data(), &time);
  PrintFields(time);
  PrintFormats("formats", time);
  PrintFileTime("filetime", time);
  return CWTOOL_OK;
}

int Demo() {
  std::printf("== dates: day-first texts read and printed\n");
  const wchar_t* samples[] = {L"07.03.2024, 09:05:02:045", L"7/3/2024 9:5", L"31.02.2024",
                              L"12abc.-1.70000"};
  for (const wchar_t* s : samples) {
    SYSTEMTIME time{};
    DateFromStringDDMMYYYY_HHMMSSMS(s, &time);
    wchar_t full[64];
    DateToStringDDMMYYYY_HHMMSSMS(&time, full);
    std::printf("%-26s -> %s\n", ToBytes(s).c_str(), ToBytes(full).c_str());
  }
  return CWTOOL_OK;
}

CWToolCommand command(
    "date", "[TEXT...]", "show now, or read a day-first date, in the three formats",
    "Without TEXT, prints the current local time and UTC in the three formats\n"
    "(DD.MM.YYYY, HH:MM:SS:MS / DD.MM.YYYY, HH:MM / DD.MM.YYYY) and the file time\n"
    "of now (100-ns intervals since 1601-01-01 UTC) in decimal and hexadecimal.\n"
    "With TEXT (several arguments are joined with spaces), reads it day first:\n"
    "numbers separated by any of . , : / and space are taken as day, month,\n"
    "year, hour, minute, second, milliseconds (only the first 63 characters are\n"
    "read; missing numbers are 0, numbers wrap modulo 65536; nothing is checked),\n"
    "then prints the fields, the three formats and the file time, reading the\n"
    "date as local time.\n"
    "Exit codes: 0 done, 1 TEXT not valid in the current locale.\n",
    Run, Demo, 15);

}  // namespace
