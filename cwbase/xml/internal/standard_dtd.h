// The document type declaration of a standard XML document, read as a
// non-validating XML 1.0 processor reads it: the internal subset checked by
// the grammar of markup declarations, its entity and attribute-list
// declarations kept for the parse of the document, nothing read from
// outside.
//
// Contract
// - Parse takes p at "<!DOCTYPE" in the document's zero-terminated text and
//   returns 0 with p just after the declaration's ">", or a CWXML_ERROR_ code
//   with `fault` at the offending character (for a fault inside the
//   replacement text of a parameter entity: the "%" of the outermost
//   reference in the document). The text is only read.
// - Declarations: ELEMENT (content models checked for syntax only), ATTLIST,
//   ENTITY (general and parameter, internal and external, NDATA), NOTATION,
//   comments, processing instructions, and parameter-entity references
//   between declarations, whose replacement text must be whole declarations.
//   A parameter-entity reference inside a declaration is an error, as XML
//   requires of the internal subset; conditional sections are refused.
// - Entities: the first declaration of a name wins. Replacement text has its
//   character references replaced and general entity references kept as
//   written. lt, gt, amp, apos and quot may be redeclared only as XML allows
//   (CWXML_ERROR_ENTITY otherwise); references to them always give their
//   character. External entities are recorded, never read.
// - After a reference to a parameter entity that is not read (an external
//   or an undeclared one), later ENTITY and ATTLIST declarations are checked
//   but not processed, unless the document is standalone="yes".
// - Attribute lists: the first declaration of an attribute of an element
//   wins; defaults are normalised when declared (references expanded with
//   the entities declared so far; types other than CDATA trimmed and their
//   runs of spaces collapsed).
// - UndeclaredIsFatal: whether a reference to an undeclared general entity
//   is a fatal error (no DTD, an internal subset without parameter-entity
//   references, or standalone="yes"); when it is not, the reference is
//   dropped, as is one to an external parsed entity in content.
// - Expansion limits: every expansion (content, attribute values, parameter
//   entities, and each attribute default the parser adds to a tag) spends
//   its replacement text's length plus CWXML_ENTITY_COST
//   from a budget of max(CWXML_ENTITY_FLOOR, CWXML_ENTITY_AMPLIFICATION x the
//   input's bytes); nesting stops at CWXML_MAX_ENTITY_DEPTH. Passing either
//   is CWXML_ERROR_ENTITY_LIMIT.
// - Memory: tables are std containers, released with the object; an
//   allocation failure throws std::bad_alloc to the caller.
// Threads: one object per load; not shared.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cwbase_internal {

struct XmlEntity {
  std::wstring m_Text;      // replacement text of an internal entity
  bool m_External = false;  // declared with SYSTEM or PUBLIC: never read
  bool m_Unparsed = false;  // declared with NDATA
  bool m_Open = false;      // being expanded now (recursion check)
};

struct XmlAttributeDecl {
  std::wstring m_Name;
  bool m_Tokenized = false;   // a type other than CDATA: values are trimmed and collapsed
  bool m_HasDefault = false;  // neither #REQUIRED nor #IMPLIED
  std::wstring m_Default;     // the normalised default
};

class XmlDtd {
 public:
  XmlDtd(bool standalone, size_t inputBytes);

  int Parse(wchar_t*& p, const wchar_t*& fault);

  bool Present() const { return m_Present; }
  bool UndeclaredIsFatal() const {
    return !m_Present || m_Standalone || (!m_External && !m_PeRefs);
  }

  // The general entity of that name, or null when it is not declared.
  XmlEntity* General(std::wstring_view name);
  // The attributes declared for an element, or null when none are.
  const std::vector<XmlAttributeDecl>* Attributes(std::wstring_view element) const;
  bool HasAttributes() const { return !m_Attributes.empty(); }

  // Takes one expansion of `units` units from the budget; false when the
  // budget does not hold it.
  bool Spend(size_t units);

  // The value of an attribute by the normalisation rule of XML: character
  // references give their character, entity references their replacement
  // text (recursively), white space characters a space. Reads from p up to
  // `quote` (leaving p on it) in document text, where CR LF is one line
  // end, and appends the result to `out`. Returns 0 or a CWXML_ERROR_ code
  // with `fault` at the reference or character at fault; `outer`, when not
  // null, is reported instead.
  int AttributeValue(const wchar_t*& p, wchar_t quote, std::wstring& out, const wchar_t* outer,
                     const wchar_t*& fault);

 private:
  friend class DtdReader;

  // The value rule over [p ..): document text (`raw`, ends at `quote`) or a
  // replacement text (ends at its zero). `depth` counts entities entered.
  int Value(const wchar_t*& p, wchar_t quote, bool raw, int depth, std::wstring& out,
            const wchar_t* outer, const wchar_t*& fault);

  std::map<std::wstring, XmlEntity, std::less<>> m_General;
  std::map<std::wstring, XmlEntity, std::less<>> m_Parameter;
  std::map<std::wstring, std::vector<XmlAttributeDecl>, std::less<>> m_Attributes;
  bool m_Present = false;
  bool m_Standalone;
  bool m_External = false;  // the DOCTYPE names an external subset
  bool m_PeRefs = false;    // the internal subset references a parameter entity
  bool m_InSubset = false;  // reading declarations: undeclared references wait for the end
  const wchar_t* m_pUndeclared = nullptr;  // first undeclared reference met in the subset
  size_t m_Spent = 0;
  size_t m_Budget;
};

}  // namespace cwbase_internal
