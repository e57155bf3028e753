// Scanning helpers of the standard XML parser, references, and the markup
// it passes over: processing instructions and comments.
//
// Contract
// - Text is zero-terminated wide text; `end` is its terminating zero, where
//   a construct still open at the end is reported.
// - Each XmlSkip… function takes p at the construct's "<" and returns 0 with
//   p just after it, or a CWXML_ERROR_ code with `fault` set to where the
//   fault was found. Nothing is written into the text.
// Threads: re-entrant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cwbase/xml/internal/xmlchars.h"

namespace cwbase_internal {

inline wchar_t* XmlSkipSpace(wchar_t* p) {
  while (XmlIsSpace(static_cast<uint32_t>(*p))) ++p;
  return p;
}

// Past the name at p; p itself when no name starts there.
inline wchar_t* XmlSkipName(wchar_t* p) {
  if (!XmlIsNameStart(static_cast<uint32_t>(*p))) return p;
  for (++p; XmlIsNameChar(static_cast<uint32_t>(*p));) ++p;
  return p;
}

inline bool XmlStartsWith(const wchar_t* p, const wchar_t* s) {
  for (; *s; ++p, ++s)
    if (*p != *s) return false;
  return true;
}

// A character reference at p ("&#" digits ";" or "&#x" hex digits ";"):
// its value, with *end just after the ";"; 0 when it is malformed or names
// a character XML does not allow.
uint32_t XmlCharReference(const wchar_t* p, const wchar_t** end);

// The character one of the five predefined entities stands for, given its
// name [name, name + length); 0 for any other name.
wchar_t XmlPredefinedEntity(const wchar_t* name, size_t length);

// An entity reference at p ("&" Name ";"): the end of the name (at the ";"),
// or null when no name followed by ";" is there.
inline const wchar_t* XmlEntityReferenceEnd(const wchar_t* p) {
  const wchar_t* end = XmlSkipName(const_cast<wchar_t*>(p + 1));
  return end > p + 1 && *end == ';' ? end : nullptr;
}
// `<?target ...?>`; the target `xml` in any case is refused.
int XmlSkipProcessingInstruction(wchar_t*& p, const wchar_t* end, const wchar_t*& fault);
// `<!-- ... -->`, without "--" inside.
int XmlSkipComment(wchar_t*& p, const wchar_t* end, const wchar_t*& fault);

}  // namespace cwbase_internal
