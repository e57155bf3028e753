/// @file
/// Small stateless helpers on wide strings, 8-bit strings and byte runs.
///
/// Contract
/// - _unsafe_swprintf formats with vswprintf into at most 1024 wide units,
///   terminator included, and always returns 0. Output that would exceed 1023
///   units leaves the destination holding the empty string; nothing is ever
///   written past the 1024 units.
/// - TraceOut formats its message into a buffer of its own and drops it.
/// - ZeroIt clears `size` bytes when size > 0 and the buffer is not null.
/// - memmem (four arguments: haystack, pattern, haystack length, pattern
///   length) returns the first match or null (also for a null haystack or a
///   negative length); an empty pattern matches at 0.
/// - _stprintfbytes writes two upper-case hex digits per byte, no terminator.
/// - strtrim / _tcstrim / _tcstrimmulti remove leading and trailing trim
///   characters in place; every unit behind the new terminator up to the old
///   one becomes zero. A failed allocation leaves the string unchanged.
/// - GetCmdLineParam copies the value after the first occurrence of the name
///   (quoted or up to the next space), at most `capacity` units, without a
///   terminator; it does nothing when the name does not occur.
/// - MaskText lays a text into a picture mask ('#' = one text unit): mode 0 or
///   3 fills from the left, mode 1 aligns on the decimal point, any other mode
///   leaves the destination cleared over `capacity` units. A null or empty mask
///   copies the text with wcsncpy (terminated only when it is shorter than the
///   capacity). It never writes past `capacity` units: a masked result that
///   does not fit with its terminator is cut to its first capacity - 1 units
///   and terminated (a capacity of 0 writes nothing).
/// Threads: all helpers are re-entrant.
#pragma once

/// Formats like vswprintf (`%s` takes an 8-bit string, `%ls` a wide one) into
/// @p dest, writing at most 1024 units with the terminator; the destination's
/// real size is not known, so it must hold what is formatted. Longer output
/// leaves the empty string. @return 0 always.
int _unsafe_swprintf(wchar_t* dest, const wchar_t* format, ...);
/// The trace hook: formats its message (up to 4095 units) and drops it.
void TraceOut(const wchar_t* format, ...);
/// Sets @p size bytes of @p buffer to zero; nothing for a null buffer or a
/// size of 0 or less.
void ZeroIt(void* buffer, int size);
/// The first occurrence of the @p patternLength bytes of @p pattern in the
/// @p haystackLength bytes of @p haystack (the library's four-argument
/// overload beside the C library's memmem).
/// @return a pointer into the haystack; null when there is none, the pattern
/// is longer, the haystack is null or either length is negative. An empty
/// pattern matches at the start.
unsigned char* memmem(unsigned char* haystack, unsigned char* pattern, int haystackLength,
                      int patternLength);
/// Writes @p count bytes as upper-case hexadecimal pairs ("0AFF00") into
/// @p dest, which needs 2 * count units. Writes NO terminator. Nothing for
/// null pointers or a count of 0 or less.
void _stprintfbytes(wchar_t* dest, unsigned char* bytes, int count);
/// Removes every leading and trailing @p trim from @p str in place; the units
/// behind the new terminator, up to the old one, become zero.
void strtrim(char* str, char trim);
/// Wide form of strtrim: removes every leading and trailing @p trim.
void _tcstrim(wchar_t* str, wchar_t trim);
/// Removes every leading and trailing unit that occurs in @p trimSet (not
/// null) from @p str in place.
void _tcstrimmulti(wchar_t* str, const wchar_t* trimSet);
/// Copies the value that follows the first occurrence of @p name in
/// @p commandLine (a plain substring search; the value ends at the next space,
/// or is taken between double quotes) to @p dest, at most @p capacity units.
/// Writes NO terminator: pass a cleared destination one unit larger. Nothing
/// is written for a null pointer, a capacity of 0 or less, or when the name
/// does not occur.
void GetCmdLineParam(const wchar_t* commandLine, const wchar_t* name, wchar_t* dest, long capacity);
/// Lays @p text into the picture @p mask ('#' takes one character, anything
/// else is a literal) in @p dest, which holds @p capacity units (the mask's
/// length + 1 suffices). @p mode 0 or 3 fills from the left, 1 aligns on the
/// decimal point, any other mode leaves @p dest cleared. Never writes past
/// @p capacity.
void MaskText(wchar_t* dest, unsigned long capacity, const wchar_t* text, const wchar_t* mask,
              unsigned long mode);
