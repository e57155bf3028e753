// Block kernels of the UTF-8 converters: UTF-8 in windows of 64 bytes,
// checked at once for whole, well-formed characters and decoded without
// branches; wide text 16 units at a time. Each function converts as many
// whole blocks from the start of its input as it can and stops at the first
// block it does not take, leaving the rest to the caller's
// one-character-at-a-time rules. A block gives exactly what those rules give
// its characters. The kernels of the active vector level run
// (core/internal/cpu_level.h, utf8_kernel_table.h); at the scalar level, and
// without SSE2 (or with CWBASE_NO_SSE2), they take nothing and return 0.
//
// Contract
// - UTF-8 side: windows start at `src`, which must be a character boundary;
//   a window is taken only while kUtf8WindowReadable bytes remain in the n
//   bytes at src (none of them the terminator). The result is the bytes
//   consumed, always a character boundary; the characters go to dst (and
//   their count to *written) or are only counted (*count is added to).
//   Taken at most: ASCII, C0-DF with one continuation byte, E0-EF with two,
//   and with allowFour F0-F7 with three. DecodeUtf8WindowsStrict also leaves every
//   form the C library's decoder refuses (overlong forms, surrogates) and
//   needs room for a whole window in dst (`room` units); with utf8 false it
//   takes ASCII windows only.
// - Wide side: EncodeUtf8Blocks takes blocks of 16 units from the n at src,
//   each only when its bytes fit in the `room` bytes left at dst; the result
//   is the units consumed, *written the bytes. The mode says which units a
//   block may hold at most (see Utf8Blocks).
// - Nothing is written past the room the caller names (UTF-8 side: past the
//   units the taken characters produce).
// Threads: pure functions.
#pragma once

#include <cstddef>

namespace cwbase_internal {

constexpr size_t kUtf8Window = 64;
// The last start reads 3 more bytes, a window around one character of more
// bytes up to 7 (AVX2).
constexpr size_t kUtf8WindowReadable = kUtf8Window + 8;

size_t CountUtf8Windows(const unsigned char* src, size_t n, size_t* count);
size_t DecodeUtf8Windows(const unsigned char* src, size_t n, bool allowFour, wchar_t* dst,
                         size_t room, size_t* written);
size_t DecodeUtf8WindowsStrict(const unsigned char* src, size_t n, bool utf8, wchar_t* dst,
                               size_t room, size_t* written);

// XML's reading of UTF-8 (the standard XML reader): windows of whole
// characters XML allows, in their shortest form, with CR LF taken as one LF.
// A window is left to the caller when it holds anything else: a control
// other than tab and LF, a CR not before LF, a surrogate, U+FFFE, U+FFFF or
// anything above U+10FFFF. HasXmlUtf8Windows() tells whether the active
// level has such a kernel (without it nothing is taken); dst needs room for
// a unit per byte.
bool HasXmlUtf8Windows();
size_t DecodeXmlUtf8Windows(const unsigned char* src, size_t n, wchar_t* dst, size_t room,
                            size_t* written);

// Wide text as one byte per unit: a unit 0-0x7F as itself, any other
// (negative ones included) as `mark`. Takes the whole blocks of 16 units
// at the levels that have such a kernel and returns the units done (0 at
// the others).
size_t NarrowAsciiOrBlocks(const wchar_t* src, size_t n, char mark, char* dst);

constexpr size_t kUtf8Block = 16;

enum class Utf8Blocks {
  kLow16,   // the low 16 bits of every unit (make_utf8_string)
  kWStr,    // any unit, by WstrtoUtf8's rules (SSE2: units 0-0xFFFF only)
  kStrict,  // units 0-0x10FFFF but surrogates (wcstombs in a UTF-8 locale;
            // SSE2: units 0-0xFFFF only)
  kAscii,   // units 0-0x7F (wcstombs in an ASCII locale)
};

size_t EncodeUtf8Blocks(const wchar_t* src, size_t n, Utf8Blocks mode, unsigned char* dst,
                        size_t room, size_t* written);

}  // namespace cwbase_internal
