// Reading the document type declaration: a recursive-descent reader of the
// markup declarations of XML 1.0, keeping what a non-validating processor
// uses (entities and attribute lists), and the attribute-value rule with
// entity expansion that start tags share.
#include "cwbase/xml/internal/standard_dtd.h"

#include <cstdint>
#include <cwchar>

#include "cwbase/xml/internal/standard_markup.h"
#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlerror.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

using Unit = uint32_t;

namespace {

inline Unit At(const wchar_t* p) {
  return static_cast<Unit>(*p);
}

// Trims spaces (#x20 only) and collapses their runs, as XML does for
// attributes of a type other than CDATA.
void CollapseSpaces(std::wstring& s) {
  size_t w = 0;
  for (size_t r = 0; r < s.size(); ++r) {
    if (s[r] == ' ' && (w == 0 || s[w - 1] == ' ')) continue;
    s[w++] = s[r];
  }
  if (w > 0 && s[w - 1] == ' ') --w;
  s.resize(w);
}

// Whether `text` is the replacement text XML allows for a redeclared
// predefined entity: a character reference to its character, or (except for
// lt and amp, which must stay escaped) the character itself.
bool PredefinedAllowed(wchar_t c, const std::wstring& text) {
  if (text.size() == 1 && text[0] == c) return c != '<' && c != '&';
  if (text.size() < 4 || text[0] != '&' || text[1] != '#') return false;
  const wchar_t* end = nullptr;
  return XmlCharReference(text.c_str(), &end) == static_cast<Unit>(c) && *end == 0;
}

}  // namespace

// The reader of the subset. `m_pOuter` is the "%" of the outermost
// parameter-entity reference being read (null in the document's own text):
// every fault inside replacement text is reported there.
class DtdReader {
 public:
  explicit DtdReader(XmlDtd& dtd) : m_Dtd(dtd) {}

  int Doctype(wchar_t*& p);
  const wchar_t* Fault() const { return m_pFault; }

 private:
  // A "%" where a declaration expects something else is a parameter-entity
  // reference inside a declaration, which the internal subset forbids.
  int Fail(int code, const wchar_t* at) {
    if (code == CWXML_ERROR_SYNTAX && at && *at == '%' && XmlEntityReferenceEnd(at))
      code = CWXML_ERROR_ENTITY;
    m_pFault = m_pOuter ? m_pOuter : at;
    return code;
  }
  int Space(wchar_t*& p) {
    if (!XmlIsSpace(At(p))) return Fail(CWXML_ERROR_SYNTAX, p);
    p = XmlSkipSpace(p);
    return 0;
  }
  int Name(wchar_t*& p, std::wstring* out) {
    wchar_t* end = XmlSkipName(p);
    if (end == p) return Fail(CWXML_ERROR_SYNTAX, p);
    if (out) out->assign(p, end);
    p = end;
    return 0;
  }
  // A keyword that no name character follows.
  static bool Keyword(wchar_t*& p, const wchar_t* word) {
    const size_t n = std::wcslen(word);
    if (std::wcsncmp(p, word, n) != 0 || XmlIsNameChar(At(p + n))) return false;
    p += n;
    return true;
  }
  bool Processing() const { return !m_Skipping || m_Dtd.m_Standalone; }

  int Subset(wchar_t*& p, bool inner);
  int ParameterReference(wchar_t*& p);
  int ElementDecl(wchar_t*& p);
  int Group(wchar_t*& p, int depth);
  int AttlistDecl(wchar_t*& p);
  int AttributeType(wchar_t*& p, bool* tokenized);
  int EntityDecl(wchar_t*& p);
  int EntityValue(wchar_t*& p, std::wstring& out);
  int NotationDecl(wchar_t*& p);
  int ExternalId(wchar_t*& p, bool publicAlone);
  int Literal(wchar_t*& p, bool pubid);
  int Close(wchar_t*& p) {
    p = XmlSkipSpace(p);
    if (*p != '>') return Fail(CWXML_ERROR_SYNTAX, p);
    ++p;
    return 0;
  }

  XmlDtd& m_Dtd;
  const wchar_t* m_pFault = nullptr;
  const wchar_t* m_pOuter = nullptr;
  int m_Depth = 0;          // parameter entities entered
  bool m_Skipping = false;  // a parameter entity was not read: later declarations are not processed
};

// <!DOCTYPE S Name (S ExternalID)? S? ('[' intSubset ']' S?)? '>'
int DtdReader::Doctype(wchar_t*& p) {
  p += 9;
  if (int rc = Space(p)) return rc;
  if (int rc = Name(p, nullptr)) return rc;
  wchar_t* before = p;
  p = XmlSkipSpace(p);
  if (p > before && (XmlStartsWith(p, L"SYSTEM") || XmlStartsWith(p, L"PUBLIC"))) {
    if (int rc = ExternalId(p, false)) return rc;
    m_Dtd.m_External = true;
    p = XmlSkipSpace(p);
  }
  if (*p == '[') {
    ++p;
    m_Dtd.m_InSubset = true;
    if (int rc = Subset(p, false)) return rc;
    m_Dtd.m_InSubset = false;
    ++p;
  }
  if (int rc = Close(p)) return rc;
  if (m_Dtd.m_pUndeclared && m_Dtd.UndeclaredIsFatal())
    return Fail(CWXML_ERROR_UNDECLARED_ENTITY, m_Dtd.m_pUndeclared);
  return 0;
}

// Declarations up to "]" (the document's subset) or to the end of a
// parameter entity's replacement text (`inner`).
int DtdReader::Subset(wchar_t*& p, bool inner) {
  for (;;) {
    p = XmlSkipSpace(p);
    int rc;
    if (*p == 0) {
      if (inner) return 0;
      return Fail(CWXML_ERROR_SYNTAX, p);
    } else if (*p == ']' && !inner) {
      return 0;
    } else if (*p == '%') {
      rc = ParameterReference(p);
    } else if (XmlStartsWith(p, L"<!--")) {
      rc = XmlSkipComment(p, p + std::wcslen(p), m_pFault);
    } else if (XmlStartsWith(p, L"<?")) {
      rc = XmlSkipProcessingInstruction(p, p + std::wcslen(p), m_pFault);
    } else if (XmlStartsWith(p, L"<!ELEMENT")) {
      rc = ElementDecl(p);
    } else if (XmlStartsWith(p, L"<!ATTLIST")) {
      rc = AttlistDecl(p);
    } else if (XmlStartsWith(p, L"<!ENTITY")) {
      rc = EntityDecl(p);
    } else if (XmlStartsWith(p, L"<!NOTATION")) {
      rc = NotationDecl(p);
    } else {
      rc = Fail(CWXML_ERROR_SYNTAX, p);
    }
    if (rc) return m_pOuter ? Fail(rc, nullptr) : rc;
  }
}

// %Name; between declarations: an internal entity's replacement text is
// read as declarations; an external or undeclared one is not read.
int DtdReader::ParameterReference(wchar_t*& p) {
  wchar_t* ref = p;
  wchar_t* end = const_cast<wchar_t*>(XmlEntityReferenceEnd(p));
  if (!end) return Fail(CWXML_ERROR_SYNTAX, p);
  p = end + 1;
  m_Dtd.m_PeRefs = true;
  auto it = m_Dtd.m_Parameter.find(std::wstring_view(ref + 1, static_cast<size_t>(end - ref - 1)));
  if (it == m_Dtd.m_Parameter.end()) {
    if (m_Dtd.m_Standalone) return Fail(CWXML_ERROR_UNDECLARED_ENTITY, ref);
    m_Skipping = true;
    return 0;
  }
  XmlEntity& entity = it->second;
  if (entity.m_External) {
    m_Skipping = true;
    return 0;
  }
  if (entity.m_Open) return Fail(CWXML_ERROR_ENTITY, ref);
  if (m_Depth >= CWXML_MAX_ENTITY_DEPTH || !m_Dtd.Spend(entity.m_Text.size()))
    return Fail(CWXML_ERROR_ENTITY_LIMIT, ref);
  std::wstring text = entity.m_Text;  // read as a text of its own, ending in its zero
  const wchar_t* outer = m_pOuter;
  if (!m_pOuter) m_pOuter = ref;
  entity.m_Open = true;
  ++m_Depth;
  wchar_t* q = text.data();
  const int rc = Subset(q, true);
  --m_Depth;
  entity.m_Open = false;
  m_pOuter = outer;
  return rc;
}

// <!ELEMENT S Name S contentspec S? '>'
int DtdReader::ElementDecl(wchar_t*& p) {
  p += 9;
  if (int rc = Space(p)) return rc;
  if (int rc = Name(p, nullptr)) return rc;
  if (int rc = Space(p)) return rc;
  if (Keyword(p, L"EMPTY") || Keyword(p, L"ANY")) return Close(p);
  if (*p != '(') return Fail(CWXML_ERROR_SYNTAX, p);
  wchar_t* q = XmlSkipSpace(p + 1);
  if (XmlStartsWith(q, L"#PCDATA")) {
    // Mixed: '(' S? '#PCDATA' (S? '|' S? Name)* S? ')*' | '(' S? '#PCDATA' S? ')'
    p = XmlSkipSpace(q + 7);
    bool names = false;
    while (*p == '|') {
      p = XmlSkipSpace(p + 1);
      if (int rc = Name(p, nullptr)) return rc;
      p = XmlSkipSpace(p);
      names = true;
    }
    if (*p != ')') return Fail(CWXML_ERROR_SYNTAX, p);
    ++p;
    if (*p == '*')
      ++p;
    else if (names)
      return Fail(CWXML_ERROR_SYNTAX, p);
    return Close(p);
  }
  ++p;
  if (int rc = Group(p, 1)) return rc;
  if (*p == '?' || *p == '*' || *p == '+') ++p;
  return Close(p);
}

// choice or seq after its "(": cp (S? sep S? cp)* S? ')', one kind of
// separator throughout; cp ::= (Name | choice | seq) ('?' | '*' | '+')?.
int DtdReader::Group(wchar_t*& p, int depth) {
  if (depth > CWXML_MAX_ENTITY_DEPTH * 4) return Fail(CWXML_ERROR_TOO_DEEP, p);
  wchar_t separator = 0;
  for (;;) {
    p = XmlSkipSpace(p);
    if (*p == '(') {
      ++p;
      if (int rc = Group(p, depth + 1)) return rc;
    } else if (int rc = Name(p, nullptr)) {
      return rc;
    }
    if (*p == '?' || *p == '*' || *p == '+') ++p;
    p = XmlSkipSpace(p);
    if (*p == ')') {
      ++p;
      return 0;
    }
    if ((*p != '|' && *p != ',') || (separator && *p != separator))
      return Fail(CWXML_ERROR_SYNTAX, p);
    separator = *p++;
  }
}

// <!ATTLIST S Name (S Name S AttType S DefaultDecl)* S? '>'
int DtdReader::AttlistDecl(wchar_t*& p) {
  p += 9;
  if (int rc = Space(p)) return rc;
  std::wstring element;
  if (int rc = Name(p, &element)) return rc;
  for (;;) {
    wchar_t* before = p;
    p = XmlSkipSpace(p);
    if (*p == '>') {
      ++p;
      return 0;
    }
    if (p == before) return Fail(CWXML_ERROR_SYNTAX, p);
    XmlAttributeDecl decl;
    if (int rc = Name(p, &decl.m_Name)) return rc;
    if (int rc = Space(p)) return rc;
    if (int rc = AttributeType(p, &decl.m_Tokenized)) return rc;
    if (int rc = Space(p)) return rc;
    if (Keyword(p, L"#REQUIRED") || Keyword(p, L"#IMPLIED")) {
      decl.m_HasDefault = false;
    } else {
      if (Keyword(p, L"#FIXED")) {
        if (int rc = Space(p)) return rc;
      }
      const wchar_t quote = *p;
      if (quote != '"' && quote != '\'') return Fail(CWXML_ERROR_SYNTAX, p);
      const wchar_t* q = p + 1;
      if (int rc = m_Dtd.AttributeValue(q, quote, decl.m_Default, m_pOuter, m_pFault)) return rc;
      p = const_cast<wchar_t*>(q) + 1;
      decl.m_HasDefault = true;
      if (decl.m_Tokenized) CollapseSpaces(decl.m_Default);
    }
    if (!Processing()) continue;
    std::vector<XmlAttributeDecl>& list = m_Dtd.m_Attributes[element];
    bool known = false;
    for (const XmlAttributeDecl& d : list) known = known || d.m_Name == decl.m_Name;
    if (!known) list.push_back(std::move(decl));
  }
}

// AttType: CDATA, a tokenized type, NOTATION (names) or an enumeration.
int DtdReader::AttributeType(wchar_t*& p, bool* tokenized) {
  *tokenized = true;
  if (Keyword(p, L"CDATA")) {
    *tokenized = false;
    return 0;
  }
  static const wchar_t* const kTokenized[] = {L"ID",       L"IDREF",   L"IDREFS",  L"ENTITY",
                                              L"ENTITIES", L"NMTOKEN", L"NMTOKENS"};
  for (const wchar_t* word : kTokenized)
    if (Keyword(p, word)) return 0;
  bool names = false;
  if (Keyword(p, L"NOTATION")) {
    if (int rc = Space(p)) return rc;
    names = true;
  }
  if (*p != '(') return Fail(CWXML_ERROR_SYNTAX, p);
  do {
    p = XmlSkipSpace(p + 1);
    wchar_t* start = p;
    if (names) {
      if (int rc = Name(p, nullptr)) return rc;
    } else {
      while (XmlIsNameChar(At(p))) ++p;  // Nmtoken
      if (p == start) return Fail(CWXML_ERROR_SYNTAX, p);
    }
    p = XmlSkipSpace(p);
  } while (*p == '|');
  if (*p != ')') return Fail(CWXML_ERROR_SYNTAX, p);
  ++p;
  return 0;
}

// <!ENTITY S Name S EntityDef S? '>' | <!ENTITY S '%' S Name S PEDef S? '>'
int DtdReader::EntityDecl(wchar_t*& p) {
  p += 8;
  if (int rc = Space(p)) return rc;
  bool parameter = false;
  if (*p == '%') {
    ++p;
    if (int rc = Space(p)) return rc;
    parameter = true;
  }
  wchar_t* at = p;
  std::wstring name;
  if (int rc = Name(p, &name)) return rc;
  if (int rc = Space(p)) return rc;
  XmlEntity entity;
  if (*p == '"' || *p == '\'') {
    if (int rc = EntityValue(p, entity.m_Text)) return rc;
  } else {
    if (int rc = ExternalId(p, false)) return rc;
    entity.m_External = true;
    wchar_t* before = p;
    p = XmlSkipSpace(p);
    if (!parameter && p > before && Keyword(p, L"NDATA")) {
      if (int rc = Space(p)) return rc;
      if (int rc = Name(p, nullptr)) return rc;
      entity.m_Unparsed = true;
    }
  }
  if (int rc = Close(p)) return rc;
  if (!Processing()) return 0;
  if (!parameter) {
    if (wchar_t c = XmlPredefinedEntity(name.data(), name.size())) {
      if (entity.m_External || !PredefinedAllowed(c, entity.m_Text))
        return Fail(CWXML_ERROR_ENTITY, at);
      return 0;  // references to it keep giving its character
    }
  }
  auto& table = parameter ? m_Dtd.m_Parameter : m_Dtd.m_General;
  table.emplace(std::move(name), std::move(entity));  // the first declaration wins
  return 0;
}

// EntityValue: character references replaced, general entity references
// kept as written; a parameter-entity reference cannot stand inside a
// declaration of the internal subset.
int DtdReader::EntityValue(wchar_t*& p, std::wstring& out) {
  const wchar_t quote = *p++;
  const bool raw = m_pOuter == nullptr;  // document text: CR LF and CR are line ends
  for (;;) {
    const wchar_t c = *p;
    if (c == quote) {
      ++p;
      return 0;
    }
    if (c == 0) return Fail(CWXML_ERROR_SYNTAX, p);
    if (c == '%') {
      return Fail(XmlEntityReferenceEnd(p) ? CWXML_ERROR_ENTITY : CWXML_ERROR_SYNTAX, p);
    } else if (c == '&' && p[1] == '#') {
      const wchar_t* end = nullptr;
      const Unit value = XmlCharReference(p, &end);
      if (!value) return Fail(CWXML_ERROR_SYNTAX, p);
      out += static_cast<wchar_t>(value);
      p = const_cast<wchar_t*>(end);
    } else if (c == '&') {
      const wchar_t* end = XmlEntityReferenceEnd(p);
      if (!end) return Fail(CWXML_ERROR_SYNTAX, p);
      out.append(p, static_cast<size_t>(end + 1 - p));
      p = const_cast<wchar_t*>(end) + 1;
    } else if (c == '\r' && raw) {
      out += '\n';
      p += p[1] == '\n' ? 2 : 1;
    } else {
      out += c;
      ++p;
    }
  }
}

// <!NOTATION S Name S (ExternalID | PublicID) S? '>'
int DtdReader::NotationDecl(wchar_t*& p) {
  p += 10;
  if (int rc = Space(p)) return rc;
  if (int rc = Name(p, nullptr)) return rc;
  if (int rc = Space(p)) return rc;
  if (int rc = ExternalId(p, true)) return rc;
  return Close(p);
}

// 'SYSTEM' S SystemLiteral | 'PUBLIC' S PubidLiteral S SystemLiteral; with
// `publicAlone` (notations) the system literal after PUBLIC may be left out.
int DtdReader::ExternalId(wchar_t*& p, bool publicAlone) {
  if (Keyword(p, L"SYSTEM")) {
    if (int rc = Space(p)) return rc;
    return Literal(p, false);
  }
  if (!Keyword(p, L"PUBLIC")) return Fail(CWXML_ERROR_SYNTAX, p);
  if (int rc = Space(p)) return rc;
  if (int rc = Literal(p, true)) return rc;
  wchar_t* before = p;
  p = XmlSkipSpace(p);
  if (publicAlone && (*p != '"' && *p != '\'')) return 0;
  if (p == before) return Fail(CWXML_ERROR_SYNTAX, p);
  return Literal(p, false);
}

// A quoted system literal (anything but its quote) or public identifier
// (PubidChar only).
int DtdReader::Literal(wchar_t*& p, bool pubid) {
  const wchar_t quote = *p;
  if (quote != '"' && quote != '\'') return Fail(CWXML_ERROR_SYNTAX, p);
  for (++p; *p != quote; ++p) {
    const Unit c = At(p);
    if (c == 0) return Fail(CWXML_ERROR_SYNTAX, p);
    if (pubid && !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   (c < 0x80 && std::wcschr(L" \r\n-'()+,./:=?;!*#@$_%", static_cast<wchar_t>(c)))))
      return Fail(CWXML_ERROR_SYNTAX, p);
  }
  ++p;
  return 0;
}

XmlDtd::XmlDtd(bool standalone, size_t inputBytes) : m_Standalone(standalone) {
  const size_t floor = static_cast<size_t>(CWXML_ENTITY_FLOOR);
  const size_t factor = static_cast<size_t>(CWXML_ENTITY_AMPLIFICATION);
  m_Budget = inputBytes > floor / factor ? inputBytes * factor : floor;
  if (inputBytes > SIZE_MAX / factor) m_Budget = SIZE_MAX;
}

int XmlDtd::Parse(wchar_t*& p, const wchar_t*& fault) {
  m_Present = true;
  DtdReader reader(*this);
  const int rc = reader.Doctype(p);
  m_InSubset = false;
  if (rc) fault = reader.Fault();
  return rc;
}

XmlEntity* XmlDtd::General(std::wstring_view name) {
  if (m_General.empty()) return nullptr;
  auto it = m_General.find(name);
  return it == m_General.end() ? nullptr : &it->second;
}

const std::vector<XmlAttributeDecl>* XmlDtd::Attributes(std::wstring_view element) const {
  auto it = m_Attributes.find(element);
  return it == m_Attributes.end() ? nullptr : &it->second;
}

bool XmlDtd::Spend(size_t units) {
  const size_t cost = units + static_cast<size_t>(CWXML_ENTITY_COST);
  if (cost > m_Budget - m_Spent) return false;
  m_Spent += cost;
  return true;
}

int XmlDtd::AttributeValue(const wchar_t*& p, wchar_t quote, std::wstring& out,
                           const wchar_t* outer, const wchar_t*& fault) {
  return Value(p, quote, true, 0, out, outer, fault);
}

int XmlDtd::Value(const wchar_t*& p, wchar_t quote, bool raw, int depth, std::wstring& out,
                  const wchar_t* outer, const wchar_t*& fault) {
  auto fail = [&](int code, const wchar_t* at) {
    fault = outer ? outer : at;
    return code;
  };
  for (;;) {
    const wchar_t c = *p;
    if (c == quote && raw) return 0;
    if (c == 0) return raw ? fail(CWXML_ERROR_SYNTAX, p) : 0;
    if (c == '<') return fail(raw ? CWXML_ERROR_ATTRIBUTE : CWXML_ERROR_ENTITY, p);
    if (c == '&' && p[1] == '#') {
      const wchar_t* end = nullptr;
      const Unit value = XmlCharReference(p, &end);
      if (!value) return fail(CWXML_ERROR_SYNTAX, p);
      out += static_cast<wchar_t>(value);
      p = end;
    } else if (c == '&') {
      const wchar_t* end = XmlEntityReferenceEnd(p);
      if (!end) return fail(CWXML_ERROR_SYNTAX, p);
      const std::wstring_view name(p + 1, static_cast<size_t>(end - p - 1));
      const wchar_t* ref = p;
      p = end + 1;
      if (wchar_t predefined = XmlPredefinedEntity(name.data(), name.size())) {
        out += predefined;
        continue;
      }
      XmlEntity* entity = General(name);
      if (!entity) {
        if (m_InSubset) {
          if (!m_pUndeclared) m_pUndeclared = outer ? outer : ref;
        } else if (UndeclaredIsFatal()) {
          return fail(CWXML_ERROR_UNDECLARED_ENTITY, ref);
        }
        continue;  // not fatal: dropped
      }
      if (entity->m_External || entity->m_Unparsed || entity->m_Open)
        return fail(CWXML_ERROR_ENTITY, ref);
      if (depth >= CWXML_MAX_ENTITY_DEPTH || !Spend(entity->m_Text.size()))
        return fail(CWXML_ERROR_ENTITY_LIMIT, ref);
      const wchar_t* text = entity->m_Text.c_str();
      entity->m_Open = true;
      const int rc = Value(text, 0, false, depth + 1, out, outer ? outer : ref, fault);
      entity->m_Open = false;
      if (rc) return rc;
    } else if (c == '\t' || c == '\n' || c == '\r') {
      out += ' ';
      p += raw && c == '\r' && p[1] == '\n' ? 2 : 1;
    } else {
      out += c;
      ++p;
    }
  }
}

}  // namespace cwbase_internal
