// Markup of a standard XML document that builds no part of the tree: the
// XML declaration, processing instructions, comments and the document type
// declaration with its internal subset, each checked for its form and
// passed over.
#include "cwbase/xml/internal/standard_markup.h"

#include <cstdint>
#include <cwchar>

#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlerror.h"

namespace cwbase_internal {
namespace {

using Unit = uint32_t;

inline Unit At(const wchar_t* p) {
  return static_cast<Unit>(*p);
}

int Fail(const wchar_t*& fault, int code, const wchar_t* at) {
  fault = at;
  return code;
}

// A markup declaration of the internal subset, or a comment or processing
// instruction there; quoted literals may hold ">".
int SkipDeclarationInSubset(wchar_t*& p, const wchar_t* end, const wchar_t*& fault) {
  if (XmlStartsWith(p, L"<!--")) return XmlSkipComment(p, end, fault);
  if (XmlStartsWith(p, L"<?")) return XmlSkipProcessingInstruction(p, end, fault);
  if (!XmlStartsWith(p, L"<!")) return Fail(fault, CWXML_ERROR_SYNTAX, p);
  for (wchar_t* q = p + 2;; ++q) {
    if (*q == 0) return Fail(fault, CWXML_ERROR_SYNTAX, end);
    if (*q == '<') return Fail(fault, CWXML_ERROR_SYNTAX, q);
    if (*q == '>') {
      p = q + 1;
      return 0;
    }
    if (*q == '"' || *q == '\'') {
      q = std::wcschr(q + 1, *q);
      if (!q) return Fail(fault, CWXML_ERROR_SYNTAX, end);
    }
  }
}

}  // namespace

// <?xml version=... encoding=... standalone=...?> at the very start.
int XmlSkipDeclaration(wchar_t*& p, const wchar_t*& fault) {
  wchar_t* q = p + 5;
  bool first = true;
  for (;;) {
    wchar_t* name = XmlSkipSpace(q);
    if (XmlStartsWith(name, L"?>")) break;
    if (name == q) return Fail(fault, CWXML_ERROR_SYNTAX, q);
    q = XmlSkipName(name);
    if (q == name || (first && !XmlStartsWith(name, L"version=")))
      return Fail(fault, CWXML_ERROR_SYNTAX, name);
    q = XmlSkipSpace(q);
    if (*q != '=') return Fail(fault, CWXML_ERROR_SYNTAX, q);
    q = XmlSkipSpace(q + 1);
    const wchar_t quote = *q;
    if (quote != '"' && quote != '\'') return Fail(fault, CWXML_ERROR_SYNTAX, q);
    const wchar_t* close = std::wcschr(q + 1, quote);
    const wchar_t* lt = std::wcschr(q + 1, '<');
    if (!close || (lt && lt < close)) return Fail(fault, CWXML_ERROR_SYNTAX, q);
    q = const_cast<wchar_t*>(close) + 1;
    first = false;
  }
  if (first) return Fail(fault, CWXML_ERROR_SYNTAX, q);
  p = XmlSkipSpace(q) + 2;
  return 0;
}

int XmlSkipProcessingInstruction(wchar_t*& p, const wchar_t* end, const wchar_t*& fault) {
  wchar_t* target = p + 2;
  wchar_t* after = XmlSkipName(target);
  if (after == target) return Fail(fault, CWXML_ERROR_SYNTAX, target);
  if (after - target == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
      (target[2] | 0x20) == 'l')
    return Fail(fault, CWXML_ERROR_SYNTAX, p);
  if (!XmlStartsWith(after, L"?>") && !XmlIsSpace(At(after)))
    return Fail(fault, CWXML_ERROR_SYNTAX, after);
  const wchar_t* close = std::wcsstr(after, L"?>");
  if (!close) return Fail(fault, CWXML_ERROR_SYNTAX, end);
  p = const_cast<wchar_t*>(close) + 2;
  return 0;
}

int XmlSkipComment(wchar_t*& p, const wchar_t* end, const wchar_t*& fault) {
  const wchar_t* dashes = std::wcsstr(p + 4, L"--");
  if (!dashes) return Fail(fault, CWXML_ERROR_SYNTAX, end);
  if (dashes[2] != '>') return Fail(fault, CWXML_ERROR_SYNTAX, dashes);
  p = const_cast<wchar_t*>(dashes) + 3;
  return 0;
}

// <!DOCTYPE name external-id? [internal subset]? >, passed over.
int XmlSkipDoctype(wchar_t*& p, const wchar_t* end, const wchar_t*& fault) {
  wchar_t* q = p + 9;
  if (!XmlIsSpace(At(q))) return Fail(fault, CWXML_ERROR_SYNTAX, q);
  for (;;) {
    const Unit c = At(q);
    if (c == 0) return Fail(fault, CWXML_ERROR_SYNTAX, end);
    if (c == '>') break;
    if (c == '<') return Fail(fault, CWXML_ERROR_SYNTAX, q);
    if (c == '"' || c == '\'') {
      q = std::wcschr(q + 1, static_cast<wchar_t>(c));
      if (!q) return Fail(fault, CWXML_ERROR_SYNTAX, end);
    } else if (c == '[') {
      q = XmlSkipSpace(q + 1);
      while (*q != ']') {
        if (*q == '%') {
          wchar_t* semicolon = XmlSkipName(q + 1);
          if (semicolon == q + 1 || *semicolon != ';') return Fail(fault, CWXML_ERROR_SYNTAX, q);
          q = semicolon + 1;
        } else if (int rc = SkipDeclarationInSubset(q, end, fault)) {
          return rc;
        }
        q = XmlSkipSpace(q);
      }
    }
    ++q;
  }
  p = q + 1;
  return 0;
}

}  // namespace cwbase_internal
