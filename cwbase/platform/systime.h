/// @file
/// Windows-style time records and the operations on them.
///
/// Contract
/// - SYSTEMTIME is a broken-down time of eight unsigned 16-bit fields and
///   carries no zone: GetLocalTime fills it with local time, GetSystemTime with
///   UTC. FILETIME is one unsigned 64-bit count of 100-nanosecond intervals
///   since 1601-01-01 00:00:00 UTC, split into two unsigned 32-bit halves.
/// - GetLocalTime / GetSystemTime read gettimeofday once; milliseconds are the
///   microseconds / 1000. A null record is ignored.
/// - SystemTimeToFileTime reads the record as local time (mktime on a private
///   copy, so out-of-range fields are normalised there and the record is never
///   changed). Choice: the daylight-saving flag is -1, so mktime decides from
///   the zone's rules whether daylight saving is in force, as a wall clock
///   would. The seconds are taken as a signed 32-bit count (times from 2038-01-19
///   on wrap, a failed mktime counts as -1) and sign-extended; the arithmetic
///   wraps modulo 2^64. wDayOfWeek plays no part; wMilliseconds is taken
///   unchecked. Null pointers: nothing happens.
/// - CompareDateTime compares year, month, day, hour, minute, second and
///   millisecond as unsigned numbers: 1 if a is later, -1 if earlier, 0 if equal
///   or either pointer is null. wDayOfWeek is never compared; nothing is
///   normalised.
/// - GetCurrentThreadId is the process id (getpid): equal on every thread.
/// - AddTime does nothing on this platform and answers 0.
/// Threads: no state; re-entrant (localtime_r / gmtime_r). The time zone comes
/// from the process environment; the library never sets it.
#pragma once

/// A broken-down time without a zone; which zone it holds is the reader's
/// knowledge. Plain record: eight unsigned 16-bit fields in this order.
struct _SYSTEMTIME {
  unsigned short wYear;          ///< Full year (2024, not 124).
  unsigned short wMonth;         ///< Month, 1 (January) to 12.
  unsigned short wDayOfWeek;     ///< Day of the week, 0 (Sunday) to 6; never read by the library.
  unsigned short wDay;           ///< Day of the month, 1 to 31.
  unsigned short wHour;          ///< Hour, 0 to 23.
  unsigned short wMinute;        ///< Minute, 0 to 59.
  unsigned short wSecond;        ///< Second, 0 to 59.
  unsigned short wMilliseconds;  ///< Millisecond within the second, 0 to 999.
};
/// The Windows-style name of _SYSTEMTIME.
typedef _SYSTEMTIME SYSTEMTIME;

/// One unsigned 64-bit count of 100-nanosecond intervals since 1601-01-01
/// 00:00:00 UTC, in two halves. 1970-01-01 is 116444736000000000.
struct _FILETIME {
  unsigned int dwLowDateTime;   ///< Low 32 bits of the count.
  unsigned int dwHighDateTime;  ///< High 32 bits of the count.
};
/// The Windows-style name of _FILETIME.
typedef _FILETIME FILETIME;

/// Fills @p out with the current local time (process time zone); a null
/// pointer is ignored.
void GetLocalTime(SYSTEMTIME* out);
/// Fills @p out with the current time in UTC; a null pointer is ignored.
void GetSystemTime(SYSTEMTIME* out);
/// Converts @p in, read as LOCAL time, to the file time @p out. @p in is not
/// changed (out-of-range fields are normalised on a copy); wDayOfWeek plays no
/// part. Null pointers: nothing happens.
void SystemTimeToFileTime(SYSTEMTIME* in, FILETIME* out);
/// Compares year, month, day, hour, minute, second and millisecond in that
/// order, without normalising.
/// @return 1 if @p a is later, -1 if earlier, 0 if equal or either is null.
int CompareDateTime(SYSTEMTIME* a, SYSTEMTIME* b);
/// The process id (getpid): the same value on every thread of the process.
unsigned int GetCurrentThreadId();
/// No body on this platform: examines nothing, changes nothing.
/// @return 0 always.
int AddTime(SYSTEMTIME* a, SYSTEMTIME* b);
