/// @file
/// Numbers and four-part versions as wide text, and fixed-point trigonometry.
///
/// Contract
/// - StrToFloat reads the leading number of a text with wcstod (current
///   locale's decimal point); a null text or one without a number gives 0.0.
/// - FloatToStr prints a value in fixed notation with the given number of
///   decimals (format "%.<n>f" through _unsafe_swprintf) and returns 0. A null
///   destination or a size of 0 or less writes nothing. The size is respected:
///   text that does not fit with its terminator in `destSize` units leaves the
///   empty string (a number cut short would read as a different number);
///   text that does fit is written whole, also beyond the 1023 units of the
///   formatting helper (many decimals need a large destination; infinity and
///   NaN print as "inf", "-inf", "nan" or "-nan" whatever the decimals). A
///   negative number of decimals counts as 0.
/// - Version values pack four unsigned 16-bit parts into a long long, first
///   part in bits 63..48. VersionToString prints "%d.%d.%d.%d" (null: nothing
///   happens); GetVersionFromString reads up to four '.'-separated tokens with
///   wcstol, each cut to 16 bits (empty fields vanish; null or empty text: 0).
///   Only the first 127 units of a longer text are read.
/// - GetFileVersion and GetLegalFileInfo always answer 0 and touch nothing.
/// - Calculate{Cosinus,Sinus,Tangens}Precized take degrees (converted with
///   pi = 3.14159265) and return the value times 1 << (bits mod 32) as an int,
///   truncated toward zero; 31 bits scale by -2^31. A product outside the int
///   range (only possible with 31 bits) saturates to INT_MAX or INT_MIN, and a
///   non-finite angle gives 0. The tangent answers 0 unless the angle truncated
///   toward zero lies in -45..45.
/// Threads: every function is re-entrant and keeps no state.
#pragma once

/// The number at the start of @p text (wcstod, the locale's decimal point);
/// what follows is ignored. 0.0 for a null text or one without a number.
double StrToFloat(const wchar_t* text);
/// Prints @p value in fixed notation with @p decimals digits after the point
/// into @p dest, which holds @p destSize units; text that does not fit with
/// its terminator leaves the empty string, whatever fits is written whole. A
/// null @p dest or a size of 0 or less writes nothing.
/// @return 0 always.
int FloatToStr(double value, int decimals, wchar_t* dest, int destSize);

/// Prints the four 16-bit parts of @p version, first part in bits 63..48, as
/// "A.B.C.D" into @p dest, which must hold 24 units. A null @p dest: nothing
/// happens.
void VersionToString(wchar_t* dest, long long version);
/// Reads up to four '.'-separated numbers (empty fields vanish, each cut to
/// 16 bits) into a packed version value, first number in bits 63..48;
/// missing parts are 0. Compare values as unsigned: a first part of 32768 or
/// more makes the result negative.
/// @return the packed value; 0 for a null or empty text.
long long GetVersionFromString(const wchar_t* text);

/// No version resource exists on this platform. @return 0 always.
long long GetFileVersion(wchar_t* path);
/// No version resource exists on this platform; @p dest is not written.
/// @return 0 always.
int GetLegalFileInfo(wchar_t* path, wchar_t* dest, long destSize);

/// The cosine of @p degrees times 2 to the power @p fractionBits (mod 32),
/// truncated toward zero (pi taken as 3.14159265).
int CalculateCosinusPrecized(double degrees, int fractionBits);
/// The sine of @p degrees times 2 to the power @p fractionBits (mod 32),
/// truncated toward zero (pi taken as 3.14159265).
int CalculateSinusPrecized(double degrees, int fractionBits);
/// The tangent of @p degrees times 2 to the power @p fractionBits (mod 32),
/// truncated toward zero; 0 unless the angle truncated toward zero lies in
/// -45..45 (a true 0 and a refusal look the same).
int CalculateTangensPrecized(double degrees, int fractionBits);
