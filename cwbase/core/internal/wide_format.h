// Bounded wide formatting: the one rule behind the public helper
// _unsafe_swprintf (text/strhelp.h) and the library code that formats with
// it elsewhere (path joining in platform/filehandle.cpp), so that the
// subsystems share it without depending on each other. Private to the library.
//
// Contract
// - FormatWide / FormatWideV format like vswprintf (`%s` takes an 8-bit
//   string, `%ls` a wide one) into `dest`, writing at most kWideFormatLimit
//   units, terminator included. Output that would not fit, or a formatting
//   error, leaves `dest` holding the empty string; nothing is ever written
//   past kWideFormatLimit units.
// - Both pointers must be valid: the callers check for null themselves.
// Threads: re-entrant.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace cwbase_internal {

// Units FormatWide writes at most, terminator included.
constexpr std::size_t kWideFormatLimit = 1024;

// Formats the arguments in `args` into `dest` (see the contract above).
void FormatWideV(wchar_t* dest, const wchar_t* format, va_list args);

// Formats the arguments after `format` into `dest` (see the contract above).
void FormatWide(wchar_t* dest, const wchar_t* format, ...);

}  // namespace cwbase_internal
