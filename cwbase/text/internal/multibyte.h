// The locale decoder behind MultiByteToWideChar, for callers inside the
// library that hold a counted text. Not part of the library's public interface.
//
// Contract
// - MultiByteToWideBounded() is mbstowcs(dest, source, limit) in a UTF-8 or
//   ASCII locale (CurrentCodeset() kUtf8 or kAscii; never kOther), over the
//   text that ends at the first zero byte or after `bound` bytes, whichever
//   comes first; a text cut off by `bound` converts as a zero-terminated copy
//   of those bytes would. No byte at or past `bound` is read (SIZE_MAX: the
//   text is zero-terminated).
// - No room for one more unit stops the conversion (the result is the units
//   written); a sequence the locale refuses fails it (-1): overlong forms,
//   surrogates, sequences cut short, and in ASCII any byte of 0x80 or above.
//   The terminator is written when it fits and is not counted.
// - *converted receives the units written before the conversion ended, also
//   when it fails; nothing else of dest is written (the terminator aside).
// Threads: re-entrant; reads nothing but its arguments.
#pragma once

#include <cstddef>

#include "cwbase/text/internal/codeset.h"

namespace cwbase_internal {

size_t MultiByteToWideBounded(Codeset codeset, const unsigned char* source, size_t bound,
                              wchar_t* dest, size_t limit, size_t* converted);

}  // namespace cwbase_internal
