/// @file
/// Day-first date texts: a SYSTEMTIME printed in three fixed formats and read
/// back.
///
/// Contract
/// - Printers write through _unsafe_swprintf into `dest`, which must hold the
///   text and its terminator (no size is passed; the longest text from 16-bit
///   fields, all 65535, is 42 units, so 43 units always suffice):
///     DateToStringDDMMYYYY_HHMMSSMS  "%02d.%02d.%04d, %02d:%02d:%02d:%03d"
///                                    day, month, year, hour, minute, second, ms
///     DateToStringDDMMYYYY_HHMM      "%02d.%02d.%04d, %02d:%02d"
///     DateToStringDDMMYYYY           "%02d.%02d.%04d"
///   Widths are minimums; nothing is validated. A null record or destination:
///   nothing happens.
/// - Parsers zero all eight fields, copy at most the first 63 units of the text,
///   split the copy with wcstok (own save pointer) and assign the tokens in order
///   to day, month, year[, hour, minute[, second, milliseconds]]. Separators are
///   ".,:/" and space for the two long forms, "./" for the date-only form. Each
///   token is wcstol base 10 truncated to 16 bits (-1 gives 65535); missing
///   tokens leave 0; extra tokens are ignored. No calendar check. A null text
///   or record: nothing happens.
/// Threads: re-entrant.
#pragma once

#include "cwbase/core/timerecords.h"

/// Prints @p time as "DD.MM.YYYY, HH:MM:SS:MS" (milliseconds after a colon)
/// into @p dest, which must hold 43 units. Null arguments: nothing happens.
void DateToStringDDMMYYYY_HHMMSSMS(SYSTEMTIME* time, wchar_t* dest);
/// Prints @p time as "DD.MM.YYYY, HH:MM" into @p dest, which must hold 43
/// units. Null arguments: nothing happens.
void DateToStringDDMMYYYY_HHMM(SYSTEMTIME* time, wchar_t* dest);
/// Prints @p time as "DD.MM.YYYY" into @p dest, which must hold 43 units.
/// Null arguments: nothing happens.
void DateToStringDDMMYYYY(SYSTEMTIME* time, wchar_t* dest);

/// Reads day, month, year, hour, minute, second and milliseconds, in that
/// order, from @p text split at '.', ',', ':', '/' and space, into @p time
/// (all eight fields zeroed first). Never fails; nothing is checked.
void DateFromStringDDMMYYYY_HHMMSSMS(const wchar_t* text, SYSTEMTIME* time);
/// Reads day, month, year, hour and minute from @p text split at '.', ',',
/// ':', '/' and space into @p time (all fields zeroed first; later numbers
/// are ignored). Never fails; nothing is checked.
void DateFromStringDDMMYYYY_HHMM(const wchar_t* text, SYSTEMTIME* time);
/// Reads day, month and year from @p text split at '.' and '/' only into
/// @p time (all fields zeroed first): "07.03.2024, 09:05" gives year 2024 and
/// no time. Never fails; nothing is checked.
void DateFromStringDDMMYYYY(const wchar_t* text, SYSTEMTIME* time);
