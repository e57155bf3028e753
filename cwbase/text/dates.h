// Day-first date texts: a SYSTEMTIME printed in three fixed formats and read
// back.
//
// Contract
// - Printers write through _unsafe_swprintf into `dest`, which must hold the
//   text and its terminator (no size is passed; the longest text from 16-bit
//   fields, all 65535, is 42 units, so 43 units always suffice):
//     DateToStringDDMMYYYY_HHMMSSMS  "%02d.%02d.%04d, %02d:%02d:%02d:%03d"
//                                    day, month, year, hour, minute, second, ms
//     DateToStringDDMMYYYY_HHMM      "%02d.%02d.%04d, %02d:%02d"
//     DateToStringDDMMYYYY           "%02d.%02d.%04d"
//   Widths are minimums; nothing is validated. A null record or destination:
//   nothing happens.
// - Parsers zero all eight fields, copy at most the first 63 units of the text,
//   split the copy with wcstok (own save pointer) and assign the tokens in order
//   to day, month, year[, hour, minute[, second, milliseconds]]. Separators are
//   ".,:/" and space for the two long forms, "./" for the date-only form. Each
//   token is wcstol base 10 truncated to 16 bits (-1 gives 65535); missing
//   tokens leave 0; extra tokens are ignored. No calendar check. A null text
//   or record: nothing happens.
// Threads: re-entrant.
#pragma once

#include "cwbase/platform/systime.h"

void DateToStringDDMMYYYY_HHMMSSMS(SYSTEMTIME* time, wchar_t* dest);
void DateToStringDDMMYYYY_HHMM(SYSTEMTIME* time, wchar_t* dest);
void DateToStringDDMMYYYY(SYSTEMTIME* time, wchar_t* dest);

void DateFromStringDDMMYYYY_HHMMSSMS(const wchar_t* text, SYSTEMTIME* time);
void DateFromStringDDMMYYYY_HHMM(const wchar_t* text, SYSTEMTIME* time);
void DateFromStringDDMMYYYY(const wchar_t* text, SYSTEMTIME* time);
