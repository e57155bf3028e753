// Numbers and four-part versions as wide text, and fixed-point trigonometry.
#include "cwbase/text/numbers.h"

#include <climits>
#include <cmath>
#include <cwchar>
#include <memory>
#include <new>

#include "cwbase/text/strhelp.h"

namespace {

// Units _unsafe_swprintf writes at most, terminator included.
constexpr size_t kFloatText = 1024;

// Text longer than the formatting helper writes (many digits before or after
// the point): formatted into a buffer of the destination's size, and copied
// only when it fits there whole. Allocation failure refuses like no room.
int PrintLongFloat(const wchar_t* format, double value, wchar_t* dest, int destSize) {
  if (static_cast<size_t>(destSize) <= kFloatText) return 0;
  std::unique_ptr<wchar_t[]> text(new (std::nothrow) wchar_t[static_cast<size_t>(destSize)]);
  if (!text) return 0;
  const int len = std::swprintf(text.get(), static_cast<size_t>(destSize), format, value);
  if (len > 0 && len < destSize) std::wmemcpy(dest, text.get(), static_cast<size_t>(len) + 1);
  return 0;
}

}  // namespace

double StrToFloat(const wchar_t* text) {
  return text ? std::wcstod(text, nullptr) : 0.0;
}

int FloatToStr(double value, int decimals, wchar_t* dest, int destSize) {
  if (!dest || destSize <= 0) return 0;
  dest[0] = 0;
  if (decimals < 0) decimals = 0;
  // A finite value prints at least one digit, and the point with the digits
  // after it: text that cannot fit is refused before it is formatted.
  if (std::isfinite(value) && decimals > 0 && decimals >= destSize - 2) return 0;
  wchar_t format[64];
  ZeroIt(format, sizeof(format));
  _unsafe_swprintf(format, L"%%.%df", decimals);
  wchar_t text[kFloatText];
  _unsafe_swprintf(text, format, value);
  size_t len = std::wcslen(text);
  if (len == 0) return PrintLongFloat(format, value, dest, destSize);
  if (len < static_cast<size_t>(destSize)) std::wmemcpy(dest, text, len + 1);
  return 0;
}

void VersionToString(wchar_t* dest, long long version) {
  if (!dest) return;
  auto v = static_cast<unsigned long long>(version);
  _unsafe_swprintf(dest, L"%d.%d.%d.%d", static_cast<int>((v >> 48) & 0xFFFF),
                   static_cast<int>((v >> 32) & 0xFFFF), static_cast<int>((v >> 16) & 0xFFFF),
                   static_cast<int>(v & 0xFFFF));
}

long long GetVersionFromString(const wchar_t* text) {
  if (!text || !*text) return 0;
  wchar_t copy[128];
  std::wcsncpy(copy, text, 127);
  copy[127] = 0;
  unsigned long long version = 0;
  wchar_t* save = nullptr;
  wchar_t* token = std::wcstok(copy, L".", &save);
  for (int i = 0; i < 4 && token; ++i, token = std::wcstok(nullptr, L".", &save)) {
    auto part = static_cast<unsigned long>(std::wcstol(token, nullptr, 10)) & 0xFFFF;
    version |= static_cast<unsigned long long>(part) << (48 - 16 * i);
  }
  return static_cast<long long>(version);
}

long long GetFileVersion(wchar_t*) {
  return 0;
}

int GetLegalFileInfo(wchar_t*, wchar_t*, long) {
  return 0;
}

namespace {

constexpr double kPi = 3.14159265;  // the value of pi the fixed-point results are defined with

double Radians(double degrees) {
  return degrees / 180 * kPi;
}

// value * (1 << (bits mod 32)) truncated toward zero; 31 bits scale by the
// int with only its sign bit set. Products beyond the int range saturate.
int Scale(double value, int fractionBits) {
  int shift = fractionBits & 31;  // two's complement: negative counts wrap too
  double scale = shift == 31 ? -2147483648.0 : static_cast<double>(1 << shift);
  double product = std::trunc(value * scale);
  if (std::isnan(product)) return 0;
  if (product >= 2147483647.0) return INT_MAX;
  if (product <= -2147483648.0) return INT_MIN;
  return static_cast<int>(product);
}

}  // namespace

int CalculateCosinusPrecized(double degrees, int fractionBits) {
  return Scale(std::cos(Radians(degrees)), fractionBits);
}

int CalculateSinusPrecized(double degrees, int fractionBits) {
  return Scale(std::sin(Radians(degrees)), fractionBits);
}

int CalculateTangensPrecized(double degrees, int fractionBits) {
  // Truncate toward zero to an int; angles beyond the int range (and NaN)
  // are outside the window.
  if (!(std::fabs(degrees) < 2147483648.0)) return 0;
  int whole = static_cast<int>(degrees);
  if (whole < -45 || whole > 45) return 0;
  return Scale(std::tan(Radians(degrees)), fractionBits);
}
