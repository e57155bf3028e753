/// @file
/// Windows-style time records and the operations on them. The records
/// themselves are declared in core/timerecords.h, included here.
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

#include "cwbase/core/timerecords.h"

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
