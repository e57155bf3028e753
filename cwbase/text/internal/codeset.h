// Internal building blocks of the locale conversions, shared with the XML
// writer. Not part of the library's public interface.
//
// Contract
// - CurrentCodeset() classifies the calling thread's current locale: kUtf8
//   and kAscii name the two encodings whose standard-library conversions
//   (wcstombs/mbstowcs) the library reproduces exactly; every other locale is
//   kOther and must go through the standard library. It reads the locale on
//   every call (no caching), so a locale change takes effect at once.
// - EncodeMultiByte() writes one wide character as wcstombs does in those two
//   encodings and returns its byte count, 0 when the conversion drops it
//   without output, or -1 when the locale has no form for it. UTF-8 (as the
//   C library writes it): 1 to 6 bytes for values up to 0x7FFFFFFF, no form
//   for surrogates (0xD800-0xDFFF) and values above 0x7FFFFFFF (negative
//   units). ASCII: one byte below 0x80; the tag characters U+E0000-U+E007F
//   are dropped; no form for anything else.
// - The ASCII runs of the conversions (NarrowAsciiRun, WidenAsciiRun) come
//   with this header from ascii_runs.h.
// Threads: re-entrant; CurrentCodeset reads the thread's current locale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/text/internal/ascii_runs.h"

namespace cwbase_internal {

enum class Codeset { kUtf8, kAscii, kOther };

Codeset CurrentCodeset();

// Largest number of bytes EncodeMultiByte writes for one character.
constexpr int kMaxMultiByte = 6;

int EncodeMultiByte(Codeset codeset, uint32_t wc, unsigned char* out);

}  // namespace cwbase_internal
