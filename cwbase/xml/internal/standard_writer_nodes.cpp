// The standard writer's nodes of other kinds than element: text, CDATA
// sections, comments, processing instructions, the document type
// declaration and the XML declaration, each checked to be writable as XML
// before a byte of it is written.
#include <strings.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "cwbase/xml/internal/declaration.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/internal/standard_writer.h"
#include "cwbase/xml/internal/xmlchars.h"

namespace cwbase_internal {
namespace {

inline uint32_t CodeOf(wchar_t unit) {
  return static_cast<uint32_t>(unit);
}

// Whether s[0..n) starts with the ASCII text `prefix`.
bool StartsWith(const wchar_t* s, size_t n, const char* prefix) {
  const size_t k = std::strlen(prefix);
  if (n < k) return false;
  for (size_t i = 0; i < k; ++i)
    if (CodeOf(s[i]) != static_cast<unsigned char>(prefix[i])) return false;
  return true;
}

// Whether s[0..n) holds the ASCII text `what`.
bool Contains(const wchar_t* s, size_t n, const char* what) {
  const size_t k = std::strlen(what);
  for (size_t i = 0; i + k <= n; ++i)
    if (StartsWith(s + i, n - i, what)) return true;
  return false;
}

// A processing instruction's target, s[0..n): a name other than "xml" in
// any case, which XML reserves for the declaration.
bool IsPiTarget(const wchar_t* s, size_t n) {
  if (n == 0 || !XmlIsNameStart(CodeOf(s[0]))) return false;
  for (size_t i = 1; i < n; ++i)
    if (!XmlIsNameChar(CodeOf(s[i]))) return false;
  return !(n == 3 && (s[0] | 0x20) == 'x' && (s[1] | 0x20) == 'm' && (s[2] | 0x20) == 'l');
}

}  // namespace

bool XmlStandardWriter::Verbatim(const wchar_t* s, size_t n, bool cdata) {
  constexpr uint32_t kStops = kXmlControl | kXmlHigh | kXmlBracket;
  return Runs<kStops>(s, n, [&](uint32_t c, size_t* next) {
    const size_t at = *next - 1;
    if (c == ']') {
      if (cdata && StartsWith(s + at, n - at, "]]>")) {
        Raw("]]]]><![CDATA[>");
        *next = at + 3;
      } else {
        Raw("]");
      }
    } else if (c == '\t') {
      Raw("\t");
    } else if (c == '\n') {
      LineEnd();
    } else if (c == '\r' && cdata) {
      Raw("]]>&#13;<![CDATA[");  // a literal CR would be read as a line end
    } else if (c == '\r') {
      LineEnd();
      if (*next < n && s[*next] == '\n') ++*next;
    } else if (!XmlIsChar(c)) {
      return Fail(CWXML_ERROR_ENCODING, m_Pos);
    } else {
      Character(c);
    }
    return true;
  });
}

bool XmlStandardWriter::Cdata(const wchar_t* s) {
  Raw("<![CDATA[");
  if (s && !Verbatim(s, std::wcslen(s), true)) return false;
  Raw("]]>");
  return true;
}

bool XmlStandardWriter::Comment(const wchar_t* s) {
  const size_t n = s ? std::wcslen(s) : 0;
  if (Contains(s, n, "--") || (n && s[n - 1] == '-')) return Fail(CWXML_ERROR_COMMENT, m_Pos);
  Raw("<!--");
  if (!Verbatim(s, n, false)) return false;
  Raw("-->");
  return true;
}

bool XmlStandardWriter::Pi(const wchar_t* s) {
  const size_t n = s ? std::wcslen(s) : 0;
  size_t target = 0;
  while (target < n && !XmlIsSpace(CodeOf(s[target]))) ++target;
  if (!IsPiTarget(s, target) || Contains(s, n, "?>")) return Fail(CWXML_ERROR_PI, m_Pos);
  Raw("<?");
  if (!Verbatim(s, n, false)) return false;
  Raw("?>");
  return true;
}

bool XmlStandardWriter::Doctype(const wchar_t* s) {
  const size_t n = s ? std::wcslen(s) : 0;
  if (!StartsWith(s, n, "<!DOCTYPE") || n < 11 || !XmlIsSpace(CodeOf(s[9])) || s[n - 1] != '>')
    return Fail(CWXML_ERROR_DOCTYPE, m_Pos);
  return Verbatim(s, n, false);
}

bool XmlStandardWriter::Other(CWXMLNode* node) {
  switch (node->m_Kind) {
    case CWXML_NODE_TEXT:
      return TextNode(node->m_pValue);
    case CWXML_NODE_CDATA:
      return Cdata(node->m_pValue);
    case CWXML_NODE_COMMENT:
      return Comment(node->m_pValue);
    case CWXML_NODE_PI:
      return Pi(node->m_pValue);
    default:
      return Fail(CWXML_ERROR_MISPLACED_NODE, m_Pos);
  }
}

bool XmlStandardWriter::TopLevel(CWXMLNode* node, bool doctype) {
  const wchar_t* s = node->m_pValue;
  switch (node->m_Kind) {
    case CWXML_NODE_TEXT: {
      const size_t n = s ? std::wcslen(s) : 0;
      if (XmlSearch<kXmlWhite, false>(s, 0, n, n) != n)
        return Fail(CWXML_ERROR_MISPLACED_NODE, m_Pos);
      return Verbatim(s, n, false);
    }
    case CWXML_NODE_COMMENT:
      return Comment(s);
    case CWXML_NODE_PI:
      return Pi(s);
    case CWXML_NODE_DOCTYPE:
      return doctype ? Doctype(s) : Fail(CWXML_ERROR_MISPLACED_NODE, m_Pos);
    default:
      return Fail(CWXML_ERROR_MISPLACED_NODE, m_Pos);
  }
}

bool XmlStandardWriter::Declaration(const wchar_t* value) {
  // Read by the reader's own rules, as wide units in machine order.
  const std::wstring text = L"<?" + std::wstring(value ? value : L"") + L"?>";
  const XmlDeclaration d = XmlReadDeclaration(reinterpret_cast<const unsigned char*>(text.data()),
                                              text.size() * sizeof(wchar_t), sizeof(wchar_t),
                                              __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
  if (!d.m_Present || d.m_Code != 0 || d.m_Units != text.size()) return Fail(CWXML_ERROR_PI, m_Pos);
  const size_t name = std::strlen(d.m_Encoding);
  if (name == 0 || strcasecmp(d.m_Encoding, "UTF-8") == 0)
    return Verbatim(text.data(), text.size(), false);
  if (!Verbatim(text.data(), d.m_EncodingUnit, false)) return false;
  Raw("UTF-8");
  const size_t rest = d.m_EncodingUnit + name;
  return Verbatim(text.data() + rest, text.size() - rest, false);
}

}  // namespace cwbase_internal
