// Reading the XML declaration from raw code units: a small recursive-descent
// reader of its grammar, the same for every encoding family.
#include "cwbase/xml/internal/declaration.h"

#include <cstdint>

#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlerror.h"

namespace cwbase_internal {
namespace {

class Reader {
 public:
  Reader(const unsigned char* data, size_t length, unsigned width, bool big)
      : m_pData(data), m_Units(length / width), m_Width(width), m_Big(big) {}

  // Unit i, or 0 past the end (0 is never part of a declaration).
  uint32_t At(size_t i) const {
    if (i >= m_Units) return 0;
    uint32_t v = 0;
    for (unsigned b = 0; b < m_Width; ++b)
      v |= uint32_t{m_pData[i * m_Width + b]} << (8 * (m_Big ? m_Width - 1 - b : b));
    return v;
  }
  bool Is(size_t i, const char* s) const {
    for (; *s; ++s, ++i)
      if (At(i) != static_cast<unsigned char>(*s)) return false;
    return true;
  }
  size_t Space(size_t i) const {
    while (XmlIsSpace(At(i))) ++i;
    return i;
  }

 private:
  const unsigned char* m_pData;
  size_t m_Units;
  unsigned m_Width;
  bool m_Big;
};

bool IsAsciiLetter(uint32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(uint32_t c) {
  return c >= '0' && c <= '9';
}

XmlDeclaration Fault(XmlDeclaration d, size_t at) {
  d.m_Code = CWXML_ERROR_SYNTAX;
  d.m_FaultUnit = at;
  return d;
}

// S? '=' S? and an opening quote at i; the position after the quote, with
// the quote in *quote, or 0 on a fault (*fault set).
size_t Equals(const Reader& r, size_t i, uint32_t* quote, size_t* fault) {
  i = r.Space(i);
  if (r.At(i) != '=') return *fault = i, 0;
  i = r.Space(i + 1);
  *quote = r.At(i);
  if (*quote != '"' && *quote != '\'') return *fault = i, 0;
  return i + 1;
}

}  // namespace

XmlDeclaration XmlReadDeclaration(const unsigned char* data, size_t length, unsigned width,
                                  bool bigEndian) {
  XmlDeclaration d;
  const Reader r(data, length, width, bigEndian);
  if (!r.Is(0, "<?xml") || XmlIsNameChar(r.At(5))) return d;
  d.m_Present = true;
  size_t i = 5, fault = 0;
  uint32_t quote = 0;

  // VersionInfo: S 'version' Eq quoted '1.' [0-9]+.
  size_t after = r.Space(i);
  if (after == i || !r.Is(after, "version")) return Fault(d, after);
  if ((i = Equals(r, after + 7, &quote, &fault)) == 0) return Fault(d, fault);
  if (!r.Is(i, "1.") || !IsDigit(r.At(i + 2))) return Fault(d, i);
  for (i += 2; IsDigit(r.At(i));) ++i;
  if (r.At(i) != quote) return Fault(d, i);
  ++i;

  // EncodingDecl: S 'encoding' Eq quoted EncName.
  after = r.Space(i);
  if (after > i && r.Is(after, "encoding")) {
    if ((i = Equals(r, after + 8, &quote, &fault)) == 0) return Fault(d, fault);
    d.m_EncodingUnit = i;
    if (!IsAsciiLetter(r.At(i))) return Fault(d, i);
    size_t n = 0;
    for (uint32_t c; (c = r.At(i)) != quote; ++i) {
      if (!IsAsciiLetter(c) && !IsDigit(c) && c != '.' && c != '_' && c != '-') return Fault(d, i);
      if (n + 1 >= sizeof d.m_Encoding) return Fault(d, i);  // longer than any charset name
      d.m_Encoding[n++] = static_cast<char>(c);
    }
    d.m_Encoding[n] = 0;
    after = r.Space(++i);
  }

  // SDDecl: S 'standalone' Eq quoted ('yes' | 'no').
  if (after > i && r.Is(after, "standalone")) {
    if ((i = Equals(r, after + 10, &quote, &fault)) == 0) return Fault(d, fault);
    if (r.Is(i, "yes")) {
      d.m_Standalone = 1, i += 3;
    } else if (r.Is(i, "no")) {
      d.m_Standalone = 0, i += 2;
    } else {
      return Fault(d, i);
    }
    if (r.At(i) != quote) return Fault(d, i);
    after = r.Space(++i);
  }

  if (!r.Is(after, "?>")) return Fault(d, after);
  d.m_Units = after + 2;
  return d;
}

void XmlDeclarationPosition(const unsigned char* data, unsigned width, bool bigEndian, size_t unit,
                            int* line, int* column) {
  // Only characters already read precede `unit`: no bound is needed.
  const Reader r(data, (unit + 1) * width, width, bigEndian);
  int l = 1, c = 1;
  for (size_t i = 0; i < unit; ++i) {
    const uint32_t u = r.At(i);
    if (u == '\n' || (u == '\r' && !(i + 1 < unit && r.At(i + 1) == '\n'))) {
      ++l, c = 1;
    } else if (u != '\r') {
      ++c;
    }
  }
  *line = l;
  *column = c;
}

}  // namespace cwbase_internal
