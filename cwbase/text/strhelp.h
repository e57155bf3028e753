// Small stateless helpers on wide strings, 8-bit strings and byte runs.
//
// Contract
// - _unsafe_swprintf formats with vswprintf into at most 1024 wide units,
//   terminator included, and always returns 0. Output that would exceed 1023
//   units leaves the destination holding the empty string; nothing is ever
//   written past the 1024 units.
// - TraceOut formats its message into a buffer of its own and drops it.
// - ZeroIt clears `size` bytes when size > 0 and the buffer is not null.
// - memmem (four arguments: haystack, pattern, haystack length, pattern
//   length) returns the first match or null; an empty pattern matches at 0.
// - _stprintfbytes writes two upper-case hex digits per byte, no terminator.
// - strtrim / _tcstrim / _tcstrimmulti remove leading and trailing trim
//   characters in place; every unit behind the new terminator up to the old
//   one becomes zero. A failed allocation leaves the string unchanged.
// - GetCmdLineParam copies the value after the first occurrence of the name
//   (quoted or up to the next space), at most `capacity` units, without a
//   terminator; it does nothing when the name does not occur.
// - MaskText lays a text into a picture mask ('#' = one text unit): mode 0 or
//   3 fills from the left, mode 1 aligns on the decimal point, any other mode
//   leaves the destination cleared over `capacity` units. A null or empty mask
//   copies the text with wcsncpy (terminated only when it is shorter than the
//   capacity). It never writes past `capacity` units: a masked result that
//   does not fit with its terminator is cut to its first capacity - 1 units
//   and terminated (a capacity of 0 writes nothing).
// Threads: all helpers are re-entrant.
#pragma once

int _unsafe_swprintf(wchar_t* dest, const wchar_t* format, ...);
void TraceOut(const wchar_t* format, ...);
void ZeroIt(void* buffer, int size);
unsigned char* memmem(unsigned char* haystack, unsigned char* pattern, int haystackLength,
                      int patternLength);
void _stprintfbytes(wchar_t* dest, unsigned char* bytes, int count);
void strtrim(char* str, char trim);
void _tcstrim(wchar_t* str, wchar_t trim);
void _tcstrimmulti(wchar_t* str, const wchar_t* trimSet);
void GetCmdLineParam(const wchar_t* commandLine, const wchar_t* name, wchar_t* dest, long capacity);
void MaskText(wchar_t* dest, unsigned long capacity, const wchar_t* text, const wchar_t* mask,
              unsigned long mode);
