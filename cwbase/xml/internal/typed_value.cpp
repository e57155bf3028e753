// Typed values of XML text: the lexical forms of XML Schema's integer,
// double and boolean, checked by hand and converted without the locale.
#include "cwbase/xml/internal/typed_value.h"

#include <locale.h>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "cwbase/xml/xmlnode.h"

namespace {

bool IsXmlSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// The text without XML white space at either end: [*begin, *end).
void Trim(const wchar_t* text, const wchar_t** begin, const wchar_t** end) {
  const wchar_t* b = text;
  while (IsXmlSpace(*b)) ++b;
  const wchar_t* e = b;
  while (*e) ++e;
  while (e > b && IsXmlSpace(e[-1])) --e;
  *begin = b;
  *end = e;
}

// Whether [b, e) equals the ASCII `word`.
bool Is(const wchar_t* b, const wchar_t* e, const char* word) {
  for (; b < e && *word; ++b, ++word)
    if (*b != static_cast<wchar_t>(*word)) return false;
  return b == e && !*word;
}

// The end of the run of digits from `p` (not past `e`).
const wchar_t* SkipDigits(const wchar_t* p, const wchar_t* e) {
  while (p < e && IsDigit(*p)) ++p;
  return p;
}

// Whether [b, e) is a decimal double: [+-]digits[.digits][(e|E)[+-]digits]
// with at least one digit in the mantissa (".5" and "5." included).
bool IsDecimal(const wchar_t* b, const wchar_t* e) {
  const wchar_t* p = b;
  if (p < e && (*p == L'+' || *p == L'-')) ++p;
  const wchar_t* q = SkipDigits(p, e);
  size_t digits = static_cast<size_t>(q - p);
  p = q;
  if (p < e && *p == L'.') {
    q = SkipDigits(++p, e);
    digits += static_cast<size_t>(q - p);
    p = q;
  }
  if (digits == 0) return false;
  if (p < e && (*p == L'e' || *p == L'E')) {
    ++p;
    if (p < e && (*p == L'+' || *p == L'-')) ++p;
    q = SkipDigits(p, e);
    if (q == p) return false;
    p = q;
  }
  return p == e;
}

// The C locale, made once: decimal point '.', whatever the process's locale.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

namespace cwbase_internal {

int XmlReadLong(const wchar_t* text, long* out) {
  if (!text) return CWXML_VALUE_MISSING;
  const wchar_t *b, *e;
  Trim(text, &b, &e);
  bool negative = false;
  if (b < e && (*b == L'+' || *b == L'-')) negative = *b++ == L'-';
  if (b == e) return CWXML_VALUE_MALFORMED;
  // The magnitude, kept within what a long of that sign can hold.
  const unsigned long limit =
      negative ? static_cast<unsigned long>(LONG_MAX) + 1 : static_cast<unsigned long>(LONG_MAX);
  unsigned long magnitude = 0;
  for (const wchar_t* p = b; p < e; ++p) {
    if (!IsDigit(*p)) return CWXML_VALUE_MALFORMED;
    const auto digit = static_cast<unsigned long>(*p - L'0');
    if (magnitude > (limit - digit) / 10) return CWXML_VALUE_MALFORMED;
    magnitude = magnitude * 10 + digit;
  }
  if (out) {
    // -(LONG_MAX + 1) is LONG_MIN; no signed overflow on the way.
    *out = negative ? (magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude))
                    : static_cast<long>(magnitude);
  }
  return CWXML_VALUE_OK;
}

int XmlReadDouble(const wchar_t* text, double* out) {
  if (!text) return CWXML_VALUE_MISSING;
  const wchar_t *b, *e;
  Trim(text, &b, &e);
  double value;
  if (Is(b, e, "INF") || Is(b, e, "+INF")) {
    value = std::numeric_limits<double>::infinity();
  } else if (Is(b, e, "-INF")) {
    value = -std::numeric_limits<double>::infinity();
  } else if (Is(b, e, "NaN")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else {
    if (!IsDecimal(b, e)) return CWXML_VALUE_MALFORMED;
    const locale_t c = CLocale();
    if (!c) return CWXML_VALUE_MALFORMED;  // not met with the C library's "C"
    std::string narrow;
    try {
      narrow.assign(b, e);  // ASCII only, as checked
    } catch (const std::bad_alloc&) {
      return CWXML_VALUE_MALFORMED;
    }
    const int saved = errno;  // the caller's errno is left as it was
    errno = 0;
    char* end = nullptr;
    value = strtod_l(narrow.c_str(), &end, c);
    const bool range = errno == ERANGE;
    errno = saved;
    if (end != narrow.c_str() + narrow.size()) return CWXML_VALUE_MALFORMED;
    if (range && std::isinf(value)) return CWXML_VALUE_MALFORMED;  // too large
  }
  if (out) *out = value;
  return CWXML_VALUE_OK;
}

int XmlReadBool(const wchar_t* text, bool* out) {
  if (!text) return CWXML_VALUE_MISSING;
  const wchar_t *b, *e;
  Trim(text, &b, &e);
  bool value;
  if (Is(b, e, "true") || Is(b, e, "1"))
    value = true;
  else if (Is(b, e, "false") || Is(b, e, "0"))
    value = false;
  else
    return CWXML_VALUE_MALFORMED;
  if (out) *out = value;
  return CWXML_VALUE_OK;
}

}  // namespace cwbase_internal
