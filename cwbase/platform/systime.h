// Windows-style time records and the operations on them.
//
// Contract
// - SYSTEMTIME is a broken-down time of eight unsigned 16-bit fields and
//   carries no zone: GetLocalTime fills it with local time, GetSystemTime with
//   UTC. FILETIME is one unsigned 64-bit count of 100-nanosecond intervals
//   since 1601-01-01 00:00:00 UTC, split into two unsigned 32-bit halves.
// - GetLocalTime / GetSystemTime read gettimeofday once; milliseconds are the
//   microseconds / 1000. A null record is ignored.
// - SystemTimeToFileTime reads the record as local time (mktime on a private
//   copy, so out-of-range fields are normalised there and the record is never
//   changed). Choice: the daylight-saving flag is -1, so mktime decides from
//   the zone's rules whether daylight saving is in force, as a wall clock
//   would. The seconds are taken as a signed 32-bit count (times from 2038-01-19
//   on wrap, a failed mktime counts as -1) and sign-extended; the arithmetic
//   wraps modulo 2^64. wDayOfWeek plays no part; wMilliseconds is taken
//   unchecked. Null pointers: nothing happens.
// - CompareDateTime compares year, month, day, hour, minute, second and
//   millisecond as unsigned numbers: 1 if a is later, -1 if earlier, 0 if equal
//   or either pointer is null. wDayOfWeek is never compared; nothing is
//   normalised.
// - GetCurrentThreadId is the process id (getpid): equal on every thread.
// - AddTime does nothing on this platform and answers 0.
// Threads: no state; re-entrant (localtime_r / gmtime_r). The time zone comes
// from the process environment; the library never sets it.
#pragma once

struct _SYSTEMTIME {
  unsigned short wYear;
  unsigned short wMonth;
  unsigned short wDayOfWeek;
  unsigned short wDay;
  unsigned short wHour;
  unsigned short wMinute;
  unsigned short wSecond;
  unsigned short wMilliseconds;
};
typedef _SYSTEMTIME SYSTEMTIME;

struct _FILETIME {
  unsigned int dwLowDateTime;
  unsigned int dwHighDateTime;
};
typedef _FILETIME FILETIME;

void GetLocalTime(SYSTEMTIME* out);
void GetSystemTime(SYSTEMTIME* out);
void SystemTimeToFileTime(SYSTEMTIME* in, FILETIME* out);
int CompareDateTime(SYSTEMTIME* a, SYSTEMTIME* b);
unsigned int GetCurrentThreadId();
int AddTime(SYSTEMTIME* a, SYSTEMTIME* b);
