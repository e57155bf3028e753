/// @file
/// Conversion between wide strings (32-bit wchar_t), UTF-8 and the locale's
/// multibyte encoding.
///
/// Contract
/// - make_utf8_string / make_unicode_string convert a whole zero-terminated
///   string and return a malloc'ed result the caller releases with free();
///   null when the allocation fails. make_utf8_string works on the low 16 bits
///   of each unit (up to three bytes per character). make_unicode_string never
///   reads past the terminator: a last character cut short by the terminator
///   still counts as one character, and its missing continuation bytes count
///   as zero bits (C3 00 gives the units 0xC0, 0; both passes agree on it).
/// - Utf8toWStr / WstrtoUtf8 convert a counted run into the caller's buffer,
///   write no terminator and return the number of units/bytes written. Room
///   for one unit per source byte, or four bytes per source unit, always
///   receives the whole result. A smaller capacity cuts the output: nothing is
///   written past it (WstrtoUtf8 writes a character whole or not at all), and
///   a capacity of 0 or less, a null pointer or a length of 0 or less writes
///   nothing and returns 0.
/// - WideCharToMultiByte / MultiByteToWideChar convert through wcstombs /
///   mbstowcs in the process's current locale whatever code page is named; the
///   code page, flags, source length, default character and default-used flag
///   are ignored. The limit is min(destination size as unsigned, source
///   length + 1); the result is the count written (terminator not counted), or
///   -1 for a character the locale cannot convert. With a null destination the
///   result is the length the whole text needs. A null source gives 0.
/// - IsUnicodeOk always answers 1.
/// Threads: every function is re-entrant; the pair reads the process locale.
#pragma once

#include <type_traits>

/// Converts the zero-terminated wide @p source to a new zero-terminated UTF-8
/// string, looking only at the low 16 bits of each unit (1 to 3 bytes per
/// character; characters beyond U+FFFF do not survive).
/// @return a malloc'ed string the caller releases with free(); null when the
/// allocation fails.
unsigned char* make_utf8_string(const wchar_t* source);
/// Converts the zero-terminated UTF-8 @p source to a new zero-terminated wide
/// string, decoding sequences of up to three bytes (a four-byte sequence is
/// not decoded as one character). Malformed input is decoded, not rejected.
/// @return a malloc'ed string the caller releases with free(); null when the
/// allocation fails.
wchar_t* make_unicode_string(const unsigned char* source);

/// Converts exactly @p sourceLength UTF-8 bytes (zero bytes included) into
/// @p dest, which holds @p destCapacity units; malformed bytes become '?'.
/// Writes NO terminator. One unit per source byte always suffices.
/// @return the number of units written.
int Utf8toWStr(wchar_t* dest, int destCapacity, char* source, int sourceLength);
/// Utf8toWStr of read-only bytes (it never writes its source). A template
/// only so that a call with a null pointer constant (nullptr, NULL, 0) still
/// picks the form above.
template <typename Char, typename = std::enable_if_t<std::is_same<Char, char>::value>>
int Utf8toWStr(wchar_t* dest, int destCapacity, const Char* source, int sourceLength) {
  return Utf8toWStr(dest, destCapacity, const_cast<char*>(source), sourceLength);
}
/// Converts exactly @p sourceLength wide units (zero units included) to UTF-8
/// in @p dest, which holds @p destCapacity bytes; values above U+10FFFF become
/// '?'. Writes NO terminator. Four bytes per unit always suffice; a smaller
/// capacity cuts after a whole character.
/// @return the number of bytes written.
int WstrtoUtf8(char* dest, int destCapacity, wchar_t* source, int sourceLength);

/// Converts the zero-terminated @p source to the current locale's multibyte
/// encoding (wcstombs), writing at most min(@p destSize, characters + 1)
/// bytes: text with multibyte characters is cut after the last whole
/// character that fits and is then not terminated. The code page, flags,
/// source length, default character and @p usedDefault are ignored.
/// @return bytes written without the terminator; with a null @p dest, the
/// bytes the whole text needs; -1 when a character cannot be converted; 0 for
/// a null source.
int WideCharToMultiByte(int codePage, unsigned long flags, const wchar_t* source, int sourceLength,
                        char* dest, int destSize, const char* defaultChar, int* usedDefault);
/// Converts the zero-terminated multibyte @p source from the current locale's
/// encoding (mbstowcs) into @p dest, writing at most min(@p destSize, bytes
/// + 1) units: a destination of the source's byte length + 1 always receives
/// the whole text and its terminator. The code page, flags and source length
/// are ignored.
/// @return units written without the terminator; with a null @p dest, the
/// units the whole text needs; -1 for a sequence invalid in the locale; 0 for
/// a null source.
int MultiByteToWideChar(int codePage, unsigned long flags, const char* source, int sourceLength,
                        wchar_t* dest, int destSize);

/// @return 1, always: wide text is always available.
int IsUnicodeOk();
