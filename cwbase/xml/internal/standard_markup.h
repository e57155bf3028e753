// Scanning helpers of the standard XML parser, and the markup it passes
// over: the XML declaration, processing instructions, comments and the
// document type declaration (with its internal subset).
//
// Contract
// - Text is zero-terminated wide text; `end` is its terminating zero, where
//   a construct still open at the end is reported.
// - Each XmlSkip… function takes p at the construct's "<" and returns 0 with
//   p just after it, or a CWXML_ERROR_ code with `fault` set to where the
//   fault was found. Nothing is written into the text.
// Threads: re-entrant.
#pragma once

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

// `<?xml` version, encoding and standalone `?>`; version must come first.
int XmlSkipDeclaration(wchar_t*& p, const wchar_t*& fault);
// `<?target ...?>`; the target `xml` in any case is refused.
int XmlSkipProcessingInstruction(wchar_t*& p, const wchar_t* end, const wchar_t*& fault);
// `<!-- ... -->`, without "--" inside.
int XmlSkipComment(wchar_t*& p, const wchar_t* end, const wchar_t*& fault);
// `<!DOCTYPE name ... [subset]>`.
int XmlSkipDoctype(wchar_t*& p, const wchar_t* end, const wchar_t*& fault);

}  // namespace cwbase_internal
