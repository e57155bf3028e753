// Conversion between wide strings (32-bit wchar_t), UTF-8 and the locale's
// multibyte encoding.
//
// Contract
// - make_utf8_string / make_unicode_string convert a whole zero-terminated
//   string and return a malloc'ed result the caller releases with free();
//   null when the allocation fails. make_utf8_string works on the low 16 bits
//   of each unit (up to three bytes per character). make_unicode_string never
//   reads past the terminator: a last character cut short by the terminator
//   still counts as one character, and its missing continuation bytes count
//   as zero bits (C3 00 gives the units 0xC0, 0; both passes agree on it).
// - Utf8toWStr / WstrtoUtf8 convert a counted run into the caller's buffer,
//   write no terminator and return the number of units/bytes written. Room
//   for one unit per source byte, or four bytes per source unit, always
//   receives the whole result. A smaller capacity cuts the output: nothing is
//   written past it (WstrtoUtf8 writes a character whole or not at all), and
//   a capacity of 0 or less, a null pointer or a length of 0 or less writes
//   nothing and returns 0.
// - WideCharToMultiByte / MultiByteToWideChar convert through wcstombs /
//   mbstowcs in the process's current locale whatever code page is named; the
//   code page, flags, source length, default character and default-used flag
//   are ignored. The limit is min(destination size as unsigned, source
//   length + 1); the result is the count written (terminator not counted), or
//   -1 for a character the locale cannot convert. With a null destination the
//   result is the length the whole text needs. A null source gives 0.
// - IsUnicodeOk always answers 1.
// Threads: every function is re-entrant; the pair reads the process locale.
#pragma once

unsigned char* make_utf8_string(const wchar_t* source);
wchar_t* make_unicode_string(const unsigned char* source);

int Utf8toWStr(wchar_t* dest, int destCapacity, char* source, int sourceLength);
int WstrtoUtf8(char* dest, int destCapacity, wchar_t* source, int sourceLength);

int WideCharToMultiByte(int codePage, unsigned long flags, const wchar_t* source, int sourceLength,
                        char* dest, int destSize, const char* defaultChar, int* usedDefault);
int MultiByteToWideChar(int codePage, unsigned long flags, const char* source, int sourceLength,
                        wchar_t* dest, int destSize);

int IsUnicodeOk();
