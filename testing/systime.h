// Test aid: a SYSTEMTIME from its fields, year first; wDayOfWeek stays 0.
#pragma once

#include "cwbase/core/timerecords.h"

inline SYSTEMTIME CWTestSystemTime(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0, int milliseconds = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<unsigned short>(year);
  t.wMonth = static_cast<unsigned short>(month);
  t.wDay = static_cast<unsigned short>(day);
  t.wHour = static_cast<unsigned short>(hour);
  t.wMinute = static_cast<unsigned short>(minute);
  t.wSecond = static_cast<unsigned short>(second);
  t.wMilliseconds = static_cast<unsigned short>(milliseconds);
  return t;
}
