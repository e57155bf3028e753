/// @file
/// The Windows-style time records SYSTEMTIME and FILETIME, on their own: the
/// plain layouts that the clock functions (platform/systime.h) fill and the
/// date texts (text/dates.h) print and read.
///
/// Contract
/// - SYSTEMTIME is a broken-down time of eight unsigned 16-bit fields and
///   carries no zone; which zone it holds is the knowledge of whoever filled
///   it. FILETIME is one unsigned 64-bit count of 100-nanosecond intervals
///   since 1601-01-01 00:00:00 UTC, split into two unsigned 32-bit halves.
/// - Plain records: no constructors, no owned storage; value-initialise them
///   (`SYSTEMTIME t{};`) to start from all zeros.
/// Threads: no state.
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
