#include "cwbase/text/dates.h"

#include <cwchar>

#include "cwbase/text/strhelp.h"

namespace {

// Fields filled by the parsers, in token order.
unsigned short SYSTEMTIME::*const kTokenFields[] = {
    &SYSTEMTIME::wDay,    &SYSTEMTIME::wMonth,  &SYSTEMTIME::wYear,        &SYSTEMTIME::wHour,
    &SYSTEMTIME::wMinute, &SYSTEMTIME::wSecond, &SYSTEMTIME::wMilliseconds};

void ParseDate(const wchar_t* text, SYSTEMTIME* time, const wchar_t* separators, int fields) {
  if (!text || !time) return;
  *time = SYSTEMTIME{};
  wchar_t copy[64] = {0};
  std::wcsncpy(copy, text, 63);
  wchar_t* save = nullptr;
  int index = 0;
  for (wchar_t* token = std::wcstok(copy, separators, &save); token;
       token = std::wcstok(nullptr, separators, &save)) {
    if (index < fields)
      time->*kTokenFields[index] = static_cast<unsigned short>(std::wcstol(token, nullptr, 10));
    ++index;
  }
}

}  // namespace

void DateToStringDDMMYYYY_HHMMSSMS(SYSTEMTIME* time, wchar_t* dest) {
  if (!time || !dest) return;
  _unsafe_swprintf(dest, L"%02d.%02d.%04d, %02d:%02d:%02d:%03d", int{time->wDay}, int{time->wMonth},
                   int{time->wYear}, int{time->wHour}, int{time->wMinute}, int{time->wSecond},
                   int{time->wMilliseconds});
}

void DateToStringDDMMYYYY_HHMM(SYSTEMTIME* time, wchar_t* dest) {
  if (!time || !dest) return;
  _unsafe_swprintf(dest, L"%02d.%02d.%04d, %02d:%02d", int{time->wDay}, int{time->wMonth},
                   int{time->wYear}, int{time->wHour}, int{time->wMinute});
}

void DateToStringDDMMYYYY(SYSTEMTIME* time, wchar_t* dest) {
  if (!time || !dest) return;
  _unsafe_swprintf(dest, L"%02d.%02d.%04d", int{time->wDay}, int{time->wMonth}, int{time->wYear});
}

void DateFromStringDDMMYYYY_HHMMSSMS(const wchar_t* text, SYSTEMTIME* time) {
  ParseDate(text, time, L"., :/", 7);
}

void DateFromStringDDMMYYYY_HHMM(const wchar_t* text, SYSTEMTIME* time) {
  ParseDate(text, time, L"., :/", 5);
}

void DateFromStringDDMMYYYY(const wchar_t* text, SYSTEMTIME* time) {
  ParseDate(text, time, L"./", 3);
}
