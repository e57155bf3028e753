// Markup of a standard XML document that builds no part of the tree
// (processing instructions and comments, checked for their form and passed
// over), and the reading of references shared by content, attribute values
// and the internal subset.
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

}  // namespace

uint32_t XmlCharReference(const wchar_t* p, const wchar_t** end) {
  const bool hex = p[2] == 'x';
  const wchar_t* q = p + (hex ? 3 : 2);
  const wchar_t* digits = q;
  uint32_t value = 0;
  for (;; ++q) {
    const Unit c = At(q);
    uint32_t d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
      d = (c | 0x20) - 'a' + 10;
    else
      break;
    value = value * (hex ? 16 : 10) + d;
    if (value > 0x10FFFF) return 0;
  }
  if (q == digits || *q != ';' || !XmlIsChar(value)) return 0;
  *end = q + 1;
  return value;
}

wchar_t XmlPredefinedEntity(const wchar_t* name, size_t length) {
  static const struct {
    const wchar_t* m_pName;
    size_t m_Length;
    wchar_t m_Char;
  } kPredefined[] = {
      {L"lt", 2, '<'}, {L"gt", 2, '>'}, {L"amp", 3, '&'}, {L"apos", 4, '\''}, {L"quot", 4, '"'}};
  for (const auto& e : kPredefined)
    if (length == e.m_Length && std::wmemcmp(name, e.m_pName, length) == 0) return e.m_Char;
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

}  // namespace cwbase_internal
