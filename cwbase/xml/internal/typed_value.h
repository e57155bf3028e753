// Reading the text of an element or an attribute as a typed value, for the
// Query getters of CWXMLNode. Private to the XML subsystem.
//
// Contract
// - Each function takes a zero-terminated wide text (null allowed) and
//   answers CWXML_VALUE_OK (the value stored in *out when out is not null),
//   CWXML_VALUE_MISSING for a null text, or CWXML_VALUE_MALFORMED; *out is
//   written only on CWXML_VALUE_OK.
// - XML white space (space, tab, CR, LF) at both ends is ignored; what is
//   between must be one whole lexical form of XML Schema's type: long
//   [+-]digits in base 10, within the range of long; double as xs:double
//   (decimal with an optional exponent, INF, +INF, -INF, NaN), read the same
//   whatever the locale, a value beyond the range of double malformed and
//   one below it read as the nearest double (0 or a subnormal); bool true,
//   false, 1, 0. A double text is converted from an ASCII copy; when the
//   memory for it cannot be had the answer is CWXML_VALUE_MALFORMED.
// Threads: re-entrant.
#pragma once

namespace cwbase_internal {

int XmlReadLong(const wchar_t* text, long* out);
int XmlReadDouble(const wchar_t* text, double* out);
int XmlReadBool(const wchar_t* text, bool* out);

}  // namespace cwbase_internal
