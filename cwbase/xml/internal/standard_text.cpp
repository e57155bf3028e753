// Text helpers of the standard parser (see standard_text.h).
#include "cwbase/xml/internal/standard_text.h"

#include <cwchar>
#include <new>

namespace cwbase_internal {

wchar_t* XmlOwnCopy(const wchar_t* s, size_t n) {
  auto* copy = new (std::nothrow) wchar_t[n + 1];
  if (!copy) return nullptr;
  std::wmemcpy(copy, s, n);
  copy[n] = 0;
  return copy;
}

void XmlCollapseSpaces(wchar_t* s) {
  wchar_t* w = s;
  for (const wchar_t* r = s; *r; ++r) {
    if (*r == ' ' && (w == s || w[-1] == ' ')) continue;
    *w++ = *r;
  }
  if (w > s && w[-1] == ' ') --w;
  *w = 0;
}

}  // namespace cwbase_internal
