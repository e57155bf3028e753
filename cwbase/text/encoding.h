// Conversion between wide strings (32-bit wchar_t), UTF-8 and the locale's
// multibyte encoding.
//
// Contract
// - make_utf8_string / make_unicode_string convert a whole zero-terminated
//   string and return a malloc'ed result the caller releases with free();
//   null when the allocation fails. make_utf8_string works on the low 16 bits
//   of each unit (up to three bytes per character). make_unicode_string never
//   reads past the terminator: a last character cut short by the terminator
//   is decoded from the bytes present (the counting and decoding passes agree).
// - Utf8toWStr / WstrtoUtf8 convert a counted run into the caller's buffer,
//   write no terminator and return the number of units/bytes written. The
//   capacity argument is not consulted: the caller supplies one unit per
//   source byte, or four bytes per source unit.
// - WideCharToMultiByte / MultiByteToWideChar convert through wcstombs /
//   mbstowcs in the process's current locale whatever code page is named; the
//   code page, flags, source length, default character and default-used flag
//   are ignored. The limit is min(destination size as unsigned, source
//   length + 1); the result is the count written (terminator not counted), or
//   -1 for a character the locale cannot convert. With a null destination the
//   result is the length the whole text needs.
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
