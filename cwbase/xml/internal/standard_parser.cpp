// The standard XML parser: one forward pass over the decoded text with an
// explicit stack of open elements. Text is decoded where it stands: the
// write position never passes the read position, so a value, a name or an
// attribute value ends with a zero written over text already read.
//
// An internal entity referenced in content is read from a copy of its
// replacement text, pushed as a frame over the document's text: the pass
// goes on in the copy and returns to the document at its end. Strings cut
// from a copy are copied again into owned strings, since the copy ends
// with its frame.
#include "cwbase/xml/internal/standard_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cwbase/core/internal/simd.h"
#include "cwbase/xml/internal/decode.h"
#include "cwbase/xml/internal/fault_detail.h"
#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/internal/props.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/internal/standard_dtd.h"
#include "cwbase/xml/internal/standard_keep.h"
#include "cwbase/xml/internal/standard_markup.h"
#include "cwbase/xml/internal/standard_text.h"
#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {
namespace {

using Unit = uint32_t;

inline Unit At(const wchar_t* p) {
  return static_cast<Unit>(*p);
}

// One open element and the character data gathered for its value.
struct Level {
  CWXMLNode* m_pNode = nullptr;
  wchar_t* m_pValue = nullptr;     // start of the value kept in place
  wchar_t* m_pEnd = nullptr;       // end of what was kept
  wchar_t* m_pSolidEnd = nullptr;  // end of the kept text without trailing literal space
  bool m_Pieces = false;           // a piece of character data was kept
  bool m_ChildSince = false;       // a child element follows the in-place value
  bool m_Mixed = false;            // the value is gathered in m_Owned instead
  bool m_Kept = false;             // a lossless load kept a child node of any kind
  std::wstring m_Owned;
  size_t m_OwnedSolid = 0;
};

// An internal entity being read: its replacement text, and where the text
// that referenced it continues.
struct Frame {
  std::unique_ptr<wchar_t[]> m_Text;  // the copy read, zero-terminated
  wchar_t* m_pResume;                 // after the reference
  wchar_t* m_pEndOfText;              // the including text's end
  const unsigned char* m_pNarrow;     // and its narrow view
  XmlEntity* m_pEntity;
  size_t m_Depth;         // open elements when the entity was entered
  const wchar_t* m_pRef;  // the outermost reference in the document
};

// Reference() found a general entity reference other than the predefined
// ones: the caller handles it.
constexpr int kEntityReference = -1;

// kKeep: a lossless load (standard_keep.h); the default load is compiled
// without its steps.
template <bool kKeep>
class Parser {
 public:
  Parser(wchar_t* text, size_t units, const unsigned char* narrow, const XmlParseSetup& setup,
         CWXMLNode* root)
      : m_pText(text),
        m_pEndOfText(text + units),
        m_pNarrow(narrow),
        m_pRoot(root),
        m_Setup(setup),
        m_Dtd(setup.m_Standalone, setup.m_InputBytes),
        m_pBound(text) {}

  int Run();
  size_t FaultUnit() const { return static_cast<size_t>(m_pFault - m_pText); }
  std::string& Detail() { return m_Detail; }

 private:
  // A node or an attribute cut from the load's pool; null when memory runs out.
  CWXMLNode* NewNode(CWXMLNode* parent) noexcept {
    try {
      return XmlNewNode(m_Pool, parent);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  CWXMLProp* NewProp() noexcept {
    try {
      return XmlNewProp(m_Pool);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  int Fail(int code, const wchar_t* at) {
    m_pFault = at;
    return code;
  }
  bool InEntity() const { return m_InEntity; }
  int Body();
  int Reference(wchar_t*& r, wchar_t*& w);
  int EnterEntity(wchar_t*& p);
  wchar_t* ExpandedAttribute(CWXMLNode* node, wchar_t* name, const wchar_t* value, const wchar_t* w,
                             const wchar_t* r);
  int LeaveEntity(wchar_t*& p);
  int EndOfStartTag(CWXMLNode* node, const wchar_t* lt);
  int Special(CWXMLNode* node);
  int Text(wchar_t*& p);
  int Cdata(wchar_t*& p);
  int StartTag(wchar_t*& p);
  int Attribute(CWXMLNode* node, wchar_t*& p, Unit& c);
  int EndTag(wchar_t*& p);
  int CheckUnique(CWXMLNode* node, const wchar_t* at);
  int Repeated(CWXMLNode* node, const wchar_t* at);
  int Mismatch(const wchar_t* open, wchar_t* lt);
  int Keep(int kind, wchar_t* begin, wchar_t* end, bool own);
  int KeepRun(Level& level);
  void AddPiece(wchar_t* begin, wchar_t* end, wchar_t* solid, wchar_t* solidEnd, bool transient);
  void Segment(wchar_t* begin, wchar_t* end, wchar_t* solid, wchar_t* solidEnd, bool runGoesOn);
  int Close(Level& level, bool empty, wchar_t* zero);
  bool Decoding() const { return m_Setup.m_pSteps && !m_Setup.m_pSteps->Done(); }
  int Ahead(const wchar_t* p);
  int Reach(const wchar_t* p, std::wstring_view end);
  int DecodeStep();

#if defined(CWBASE_SIMD_SSE2)
  // The sixteen units at r (not yet rewritten), narrowed: read from the
  // bytes they were decoded from when there are such, a quarter of the
  // memory; units above 0x7F narrow to bytes that match no markup.
  simd::Vec Narrow16(const wchar_t* r) const {
    return m_pNarrow ? simd::Load16(m_pNarrow + (r - m_pText)) : simd::LoadNarrow16(r);
  }
#endif

  wchar_t* m_pText;
  wchar_t* m_pEndOfText;
  const unsigned char* m_pNarrow;  // one byte per unit, or null
  CWXMLNode* m_pRoot;
  const wchar_t* m_pFault = nullptr;
  std::vector<Level> m_Levels;
  size_t m_Depth = 0;  // open elements: m_Levels[0 .. m_Depth)
  bool m_RootDone = false;
  bool m_Doctype = false;
  const XmlParseSetup& m_Setup;
  XmlDtd m_Dtd;
  std::vector<Frame> m_Frames;
  bool m_InEntity = false;  // m_Frames is not empty
  bool m_Special = false;   // in an entity's text, or the DTD declares attributes
  // A text run open across an entity boundary: whether it holds text yet,
  // and the white space held back before its first text.
  bool m_Run = false;
  bool m_RunText = false;
  std::wstring m_RunSpace;
  int m_ExpandFault = 0;  // what ExpandedAttribute found wrong
  // The nodes and attributes of this load, cut from chunks as the parse
  // reaches them: nothing is reserved ahead, since counting the tags of the
  // text first would cost a pass over it.
  XmlPool m_Pool;
  // While the decode goes on in steps: the last "<" of the decoded text with
  // 16 units after it; markup and text that start before it end before it.
  const wchar_t* m_pBound;
  std::string m_Detail;  // what the fault names, when it names something
};

// Bytes of input each step of the decode takes: the text it gives (four
// times as many bytes) and its narrow view stay in the cache until the
// parser reads them.
constexpr size_t kDecodeStep = 64 * 1024;

// One more step of the decode; the end of the text and its narrow view
// follow it, and so does the bound.
template <bool kKeep>
int Parser<kKeep>::DecodeStep() {
  XmlUtf8Steps& steps = *m_Setup.m_pSteps;
  const size_t before = static_cast<size_t>(m_pEndOfText - m_pText);
  if (!steps.Step(kDecodeStep)) return Fail(CWXML_ERROR_ENCODING, m_pEndOfText);
  m_pEndOfText = m_pText + steps.Units();
  m_pNarrow = m_Setup.m_pNarrowText->m_pBytes;
  if (steps.Done()) return 0;
  // The parser may have rewritten the text before the old end: look after it.
  const wchar_t* floor = m_pText + (before > 16 ? before - 16 : 0);
  for (const wchar_t* q = m_pEndOfText - 16; q > floor && q > m_pBound; --q) {
    if (*q == '<') {
      m_pBound = q;
      break;
    }
  }
  return 0;
}

// Before the piece of markup or text at p in the document's text: decoded
// up to a "<" after p, or whole.
template <bool kKeep>
int Parser<kKeep>::Ahead(const wchar_t* p) {
  while (Decoding() && p >= m_pBound)
    if (int rc = DecodeStep()) return rc;
  return 0;
}

// Before a construct at p that runs to `end` whatever "<" it holds: decoded
// up to `end` with 16 units after it, or whole.
template <bool kKeep>
int Parser<kKeep>::Reach(const wchar_t* p, std::wstring_view end) {
  if (InEntity()) return 0;
  const wchar_t* from = p;
  while (Decoding()) {
    const wchar_t* found =
        std::search(from, static_cast<const wchar_t*>(m_pEndOfText), end.begin(), end.end());
    if (found != m_pEndOfText && m_pEndOfText - found >= 16) return 0;
    const size_t back = 16 + end.size();  // where a match may start that the end cut off
    if (static_cast<size_t>(m_pEndOfText - p) > back) from = m_pEndOfText - back;
    if (int rc = DecodeStep()) return rc;
  }
  return 0;
}

// A reference at r ("&"): the character or predefined entity written at w;
// kEntityReference, r unchanged, for any other entity.
template <bool kKeep>
int Parser<kKeep>::Reference(wchar_t*& r, wchar_t*& w) {
  const wchar_t* end = nullptr;
  if (r[1] == '#') {
    const Unit value = XmlCharReference(r, &end);
    if (!value) return Fail(CWXML_ERROR_SYNTAX, r);
    *w++ = static_cast<wchar_t>(value);
    r = const_cast<wchar_t*>(end);
    return 0;
  }
  end = XmlEntityReferenceEnd(r);
  if (!end) return Fail(CWXML_ERROR_SYNTAX, r);
  const wchar_t c = XmlPredefinedEntity(r + 1, static_cast<size_t>(end - r - 1));
  if (!c) return kEntityReference;
  *w++ = c;
  r = const_cast<wchar_t*>(end) + 1;
  return 0;
}

// A general entity reference in content at p: an internal entity's
// replacement text is read next, in a frame of its own; an external one, or
// an undeclared one where that is no fatal error, is dropped.
template <bool kKeep>
int Parser<kKeep>::EnterEntity(wchar_t*& p) {
  const wchar_t* end = XmlEntityReferenceEnd(p);
  XmlEntity* entity = m_Dtd.General(std::wstring_view(p + 1, static_cast<size_t>(end - p - 1)));
  wchar_t* after = const_cast<wchar_t*>(end) + 1;
  if (!entity) {
    if (m_Dtd.UndeclaredIsFatal()) return Fail(CWXML_ERROR_UNDECLARED_ENTITY, p);
    p = after;
    return 0;
  }
  if (entity->m_Unparsed || entity->m_Open) return Fail(CWXML_ERROR_ENTITY, p);
  if (entity->m_External) {
    p = after;
    return 0;
  }
  const size_t n = entity->m_Text.size();
  if (m_Frames.size() >= static_cast<size_t>(CWXML_MAX_ENTITY_DEPTH) || !m_Dtd.Spend(n))
    return Fail(CWXML_ERROR_ENTITY_LIMIT, p);
  Frame frame{std::unique_ptr<wchar_t[]>(new wchar_t[n + 1]),
              after,
              m_pEndOfText,
              m_pNarrow,
              entity,
              m_Depth,
              InEntity() ? m_Frames.front().m_pRef : p};
  std::wmemcpy(frame.m_Text.get(), entity->m_Text.data(), n);
  frame.m_Text[n] = 0;
  p = frame.m_Text.get();
  m_pEndOfText = p + n;
  m_pNarrow = nullptr;
  entity->m_Open = true;
  m_Frames.push_back(std::move(frame));
  m_InEntity = m_Special = true;
  return 0;
}

// The end of an entity's replacement text: every element it opened must be
// closed; the including text continues.
template <bool kKeep>
int Parser<kKeep>::LeaveEntity(wchar_t*& p) {
  Frame& frame = m_Frames.back();
  if (m_Depth != frame.m_Depth) return Fail(CWXML_ERROR_UNCLOSED_ELEMENT, p);
  frame.m_pEntity->m_Open = false;
  p = frame.m_pResume;
  m_pEndOfText = frame.m_pEndOfText;
  m_pNarrow = frame.m_pNarrow;
  m_Frames.pop_back();
  m_InEntity = !m_Frames.empty();
  m_Special = m_InEntity || m_Dtd.HasAttributes();
  return 0;
}

// Character data up to the next markup, decoded in place; kept as a piece
// of the open element's value unless it is only literal white space. The
// literal white space at its ends is found afterwards: what references
// produced counts as text whatever it is, so the scans stop at it.
template <bool kKeep>
int Parser<kKeep>::Text(wchar_t*& p) {
  wchar_t* r = p;
  wchar_t* w = p;
  wchar_t* firstReference = nullptr;  // where the first reference's character went
  wchar_t* referenceEnd = p;          // after the last reference's character
  for (;;) {
#if defined(CWBASE_SIMD_SSE2)
    // Sixteen units at a time up to the next character that needs a look.
    while (m_pEndOfText - r >= 16) {
      const unsigned stop = XmlClassMask<kXmlTextStop>(Narrow16(r));
      XmlMoveUnits(w, r, stop ? simd::FirstBit(stop) : 16);
      if (stop) break;
    }
#endif
    const Unit c = At(r);
    if (!(XmlClassOf(c) & kXmlTextStop)) {
      *w++ = *r++;
      continue;
    }
    if (c == '<' || c == 0) break;
    if (c == '&') {
      wchar_t* before = w;
      const int rc = Reference(r, w);
      if (rc == kEntityReference) break;  // the caller reads the entity
      if (rc) return rc;
      if (!firstReference) firstReference = before;
      referenceEnd = w;
    } else if (c == '\r') {
      *w++ = '\n';
      r += r[1] == '\n' ? 2 : 1;
    } else {  // ']'
      if (r[1] == ']' && r[2] == '>') return Fail(CWXML_ERROR_SYNTAX, r);
      *w++ = *r++;
    }
  }
  // Literal white space at the start, skipped sixteen units at a time, and
  // at the end; what references produced stays.
  wchar_t* solid = p;
  const wchar_t* literalEnd = firstReference ? firstReference : w;
  const auto rest = static_cast<size_t>(literalEnd - solid);
  solid += XmlSearch<kXmlWhite, false>(static_cast<const wchar_t*>(solid), 0, rest, rest);
  wchar_t* keep = std::max(referenceEnd, solid);
  wchar_t* solidEnd = keep + XmlTrimBack<kXmlWhite>(keep, 0, static_cast<size_t>(w - keep));
  // Text stops at markup ("<"), at an entity reference ("&": the run goes
  // on in the entity) or at the end of its text (of an entity: the run goes
  // on after the reference). A lossless load keeps all of it, as it stands.
  if (kKeep) {
    if (w > p) AddPiece(p, w, p, w, InEntity());
  } else if (__builtin_expect(*r != '<' || m_Run, 0))
    Segment(p, w, solid, solidEnd, *r == '&' || (*r == 0 && InEntity()));
  else if (solid < w)
    AddPiece(p, w, solid, solidEnd, InEntity());
  p = r;
  return 0;
}

template <bool kKeep>
int Parser<kKeep>::Cdata(wchar_t*& p) {
  wchar_t* begin = p + 9;
  const wchar_t* close = std::wcsstr(begin, L"]]>");
  if (!close) return Fail(CWXML_ERROR_SYNTAX, m_pEndOfText);
  wchar_t* w = begin;
  for (wchar_t* r = begin; r < close;) {
    if (*r == '\r') {
      *w++ = '\n';
      r += r[1] == '\n' ? 2 : 1;
    } else {
      *w++ = *r++;
    }
  }
  p = const_cast<wchar_t*>(close) + 3;
  if (kKeep) return Keep(CWXML_NODE_CDATA, begin, w, false);
  AddPiece(begin, w, begin, w, InEntity());
  return 0;
}

// A lossless load: a node of `kind` with the text [begin, end) in the open
// element, after the run of text before it, or before or after the root.
template <bool kKeep>
int Parser<kKeep>::Keep(int kind, wchar_t* begin, wchar_t* end, bool own) {
  CWXMLNode* parent = nullptr;
  CWPtArray* list = m_RootDone ? m_Setup.m_pEpilog : m_Setup.m_pProlog;
  if (m_Depth > 0) {
    Level& level = m_Levels[m_Depth - 1];
    if (int rc = KeepRun(level)) return rc;
    level.m_Kept = true;
    parent = level.m_pNode;
    list = &parent->m_Children;
  }
  return XmlKeepNode(m_Pool, *list, parent, kind, begin, end, own || InEntity());
}

// A lossless load: the run of text gathered for an element (untrimmed, see
// Text) becomes a text node of its own, since a child node follows it.
template <bool kKeep>
int Parser<kKeep>::KeepRun(Level& level) {
  if (!level.m_Pieces) return 0;
  CWPtArray& list = level.m_pNode->m_Children;
  int rc;
  if (level.m_Mixed) {
    wchar_t* owned = level.m_Owned.data();
    rc = XmlKeepNode(m_Pool, list, level.m_pNode, CWXML_NODE_TEXT, owned,
                     owned + level.m_Owned.size(), true);
  } else {
    rc = XmlKeepNode(m_Pool, list, level.m_pNode, CWXML_NODE_TEXT, level.m_pValue, level.m_pEnd,
                     false);
  }
  level.m_Pieces = level.m_Mixed = level.m_ChildSince = false;
  level.m_Owned.clear();
  return rc;
}

// Adds [begin, end) to the value of the innermost open element: in place
// when nothing but markup separates it from the value so far, gathered
// into an owned string when a child element does. [solid, solidEnd) is the
// piece without literal white space at its ends.
template <bool kKeep>
__attribute__((always_inline)) inline void Parser<kKeep>::AddPiece(wchar_t* begin, wchar_t* end,
                                                                   wchar_t* solid,
                                                                   wchar_t* solidEnd,
                                                                   bool transient) {
  Level& level = m_Levels[m_Depth - 1];
  if (transient && !level.m_Mixed) {
    // Text that does not live in the document's buffer (an entity's copy,
    // held-back white space): the value is gathered instead.
    if (level.m_Pieces) {
      level.m_Owned.assign(level.m_pValue, level.m_pEnd);
      level.m_OwnedSolid = static_cast<size_t>(level.m_pSolidEnd - level.m_pValue);
    } else {
      level.m_Owned.clear();
      begin = solid;
    }
    level.m_Pieces = level.m_Mixed = true;
  }
  if (level.m_Mixed) {
    level.m_Owned.append(begin, end);
    if (solidEnd) level.m_OwnedSolid = level.m_Owned.size() - static_cast<size_t>(end - solidEnd);
    return;
  }
  if (!level.m_Pieces) {
    level.m_Pieces = true;
    level.m_pValue = solid;
    level.m_pEnd = end;
    level.m_pSolidEnd = solidEnd;
  } else if (!level.m_ChildSince) {
    const size_t offset = static_cast<size_t>(begin - level.m_pEnd);
    std::memmove(level.m_pEnd, begin, static_cast<size_t>(end - begin) * sizeof(wchar_t));
    level.m_pEnd = end - offset;
    if (solidEnd) level.m_pSolidEnd = solidEnd - offset;
  } else {
    level.m_Mixed = true;
    level.m_Owned.assign(level.m_pValue, level.m_pEnd);
    level.m_OwnedSolid = static_cast<size_t>(level.m_pSolidEnd - level.m_pValue);
    level.m_Owned.append(begin, end);
    if (solidEnd) level.m_OwnedSolid = level.m_Owned.size() - static_cast<size_t>(end - solidEnd);
  }
}

// A segment of a text run that an entity boundary cuts: the run goes on
// across references and the ends of replacement text, as if the text stood
// in place, so its white space is dropped only when the whole run is white
// space. White space before any text of the run is held back until text
// follows (or markup ends the run and drops it).
template <bool kKeep>
__attribute__((noinline)) void Parser<kKeep>::Segment(wchar_t* begin, wchar_t* end, wchar_t* solid,
                                                      wchar_t* solidEnd, bool runGoesOn) {
  Level& level = m_Levels[m_Depth - 1];
  if (solid < end) {
    if (!m_RunSpace.empty() && level.m_Pieces) {
      wchar_t* space = m_RunSpace.data();
      AddPiece(space, space + m_RunSpace.size(), space, nullptr, true);
    }
    m_RunSpace.clear();
    AddPiece(begin, end, solid, solidEnd, InEntity());
    m_RunText = true;
  } else if (end > begin && m_RunText) {
    AddPiece(begin, end, begin, nullptr, InEntity());  // white space inside the run
  } else if (end > begin && runGoesOn) {
    m_RunSpace.append(begin, end);
  }
  m_Run = runGoesOn;
  if (!runGoesOn) {
    m_RunText = false;
    m_RunSpace.clear();
  }
}

// Ends the innermost element: its value by the mapping rule. `zero` is a
// position already read that may hold the empty value's terminator.
template <bool kKeep>
int Parser<kKeep>::Close(Level& level, bool empty, wchar_t* zero) {
  CWXMLNode* node = level.m_pNode;
  if (kKeep && level.m_Kept) {  // a lossless load: the last run is a node, no value
    if (int rc = KeepRun(level)) return rc;
  } else if (level.m_Mixed) {
    const size_t n = level.m_OwnedSolid;
    auto* value = new (std::nothrow) wchar_t[n + 1];
    if (!value) return CWXML_ERROR_OUT_OF_MEMORY;
    std::wmemcpy(value, level.m_Owned.data(), n);
    value[n] = 0;
    node->m_pValue = value;
    node->m_bOwnValue = 1;
  } else if (level.m_Pieces) {
    *level.m_pSolidEnd = 0;
    node->m_pValue = level.m_pValue;
  } else if (!empty && node->GetChildCount() == 0) {
    if (InEntity()) {
      node->m_pValue = XmlOwnCopy(L"", 0);
      if (!node->m_pValue) return CWXML_ERROR_OUT_OF_MEMORY;
      node->m_bOwnValue = 1;
    } else {
      *zero = 0;
      node->m_pValue = zero;
    }
  }
  level = Level();
  --m_Depth;
  if (m_Depth == 0) m_RootDone = true;
  return 0;
}

template <bool kKeep>
__attribute__((always_inline)) inline int Parser<kKeep>::Attribute(CWXMLNode* node, wchar_t*& p,
                                                                   Unit& c) {
  wchar_t* name = p;
  p = XmlSkipName(p);
  wchar_t* q = XmlSkipSpace(p);
  if (*q != '=') return Fail(CWXML_ERROR_ATTRIBUTE, q);
  *p = 0;
  q = XmlSkipSpace(q + 1);
  const wchar_t quote = *q;
  if (quote != '"' && quote != '\'') return Fail(CWXML_ERROR_ATTRIBUTE, q);
  wchar_t* value = q + 1;
  wchar_t* r = value;
  wchar_t* w = value;
  for (;;) {
#if defined(CWBASE_SIMD_SSE2)
    while (m_pEndOfText - r >= 16) {  // up to the next unit that needs a look
      const simd::Vec v = Narrow16(r);
      const unsigned stop = quote == '"' ? XmlClassMask<kXmlValueStop | kXmlQuote>(v)
                                         : XmlClassMask<kXmlValueStop | kXmlApos>(v);
      XmlMoveUnits(w, r, stop ? simd::FirstBit(stop) : 16);
      if (stop) break;
    }
#endif
    const Unit u = At(r);
    if (u == static_cast<Unit>(quote)) break;
    if (u == 0) return Fail(CWXML_ERROR_SYNTAX, m_pEndOfText);
    if (u == '<') return Fail(CWXML_ERROR_ATTRIBUTE, r);
    if (u == '&') {
      const int rc = Reference(r, w);
      if (rc == kEntityReference) {
        p = ExpandedAttribute(node, name, value, w, r);
        if (!p) return m_ExpandFault;
        c = At(p);
        return 0;
      }
      if (rc) return rc;
    } else if (u == '\t' || u == '\n' || u == '\r') {
      *w++ = ' ';
      r += u == '\r' && r[1] == '\n' ? 2 : 1;
    } else {
      *w++ = *r++;
    }
  }
  *w = 0;
  p = r + 1;
  c = At(p);
  auto* prop = NewProp();
  if (!prop) return Fail(CWXML_ERROR_OUT_OF_MEMORY, name);
  if (!node->m_Props.Add(prop)) {
    delete prop;
    return Fail(CWXML_ERROR_OUT_OF_MEMORY, name);
  }
  prop->m_pName = name;
  prop->m_pValue = value;
  return 0;
}

// The rest of Attribute() for a value with an entity reference at r:
// [value, w) read so far and the rest by the attribute-value rule, into an
// owned value. Returns the position after the closing quote, or null with
// the fault in m_ExpandFault. Out of line, and taking nothing by address,
// so that the common case keeps its positions in registers.
template <bool kKeep>
__attribute__((noinline)) wchar_t* Parser<kKeep>::ExpandedAttribute(CWXMLNode* node, wchar_t* name,
                                                                    const wchar_t* value,
                                                                    const wchar_t* w,
                                                                    const wchar_t* r) {
  std::wstring expanded(value, w);
  m_ExpandFault = m_Dtd.AttributeValue(r, value[-1], expanded, nullptr, m_pFault);
  if (m_ExpandFault) return nullptr;
  auto* prop = NewProp();
  if (prop && node->m_Props.Add(prop)) {
    prop->m_pName = name;
    prop->m_pValue = XmlOwnCopy(expanded.data(), expanded.size());
    prop->m_bOwnValue = 1;
    if (prop->m_pValue) return const_cast<wchar_t*>(r) + 1;
  } else {
    delete prop;
  }
  m_ExpandFault = Fail(CWXML_ERROR_OUT_OF_MEMORY, name);
  return nullptr;
}

// A start tag read from an entity's text: its name and attributes, which
// live in the entity's copy, become owned. Then the attribute-list
// declarations of the DTD for the element: attributes of a type other than
// CDATA are normalised further, and the defaults of the attributes the tag
// leaves out are added after the others, in declaration order, as owned
// strings (counted against the expansion limit).
template <bool kKeep>
int Parser<kKeep>::Special(CWXMLNode* node) {
  if (InEntity()) {
    auto own = [](wchar_t*& s, int& flag) {
      if (flag) return true;
      s = XmlOwnCopy(s, std::wcslen(s));
      flag = 1;
      return s != nullptr;
    };
    if (!own(node->m_pName, node->m_bOwnName)) return CWXML_ERROR_OUT_OF_MEMORY;
    for (int i = 0; i < node->m_Props.GetSize(); ++i) {
      auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
      if (!own(prop->m_pName, prop->m_bOwnName) || !own(prop->m_pValue, prop->m_bOwnValue))
        return CWXML_ERROR_OUT_OF_MEMORY;
    }
  }
  if (!m_Dtd.HasAttributes()) return 0;
  const std::vector<XmlAttributeDecl>* decls = m_Dtd.Attributes(node->m_pName);
  if (!decls) return 0;
  const int specified = node->m_Props.GetSize();
  for (const XmlAttributeDecl& decl : *decls) {
    CWXMLProp* given = nullptr;
    for (int i = 0; i < specified && !given; ++i) {
      auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
      if (decl.m_Name == prop->m_pName) given = prop;
    }
    if (given) {
      if (decl.m_Tokenized) XmlCollapseSpaces(given->m_pValue);
      continue;
    }
    if (!decl.m_HasDefault) continue;
    // Each default is a copy of text the document holds once: it counts
    // against the expansion limit like an entity's text.
    if (!m_Dtd.Spend(decl.m_Default.size())) return CWXML_ERROR_ENTITY_LIMIT;
    auto* prop = NewProp();
    if (!prop) return CWXML_ERROR_OUT_OF_MEMORY;
    if (!node->m_Props.Add(prop)) {
      delete prop;
      return CWXML_ERROR_OUT_OF_MEMORY;
    }
    prop->m_pName = XmlOwnCopy(decl.m_Name.data(), decl.m_Name.size());
    prop->m_pValue = XmlOwnCopy(decl.m_Default.data(), decl.m_Default.size());
    prop->m_bOwnName = prop->m_bOwnValue = 1;
    if (!prop->m_pName || !prop->m_pValue) return CWXML_ERROR_OUT_OF_MEMORY;
  }
  return 0;
}

template <bool kKeep>
int Parser<kKeep>::CheckUnique(CWXMLNode* node, const wchar_t* at) {
  return XmlPropsUnique(node->m_Props) ? 0 : Repeated(node, at);
}

// A repeated attribute is reported at its second occurrence's name.
template <bool kKeep>
__attribute__((noinline)) int Parser<kKeep>::Repeated(CWXMLNode* node, const wchar_t* at) {
  const int repeated = XmlPropsRepeated(node->m_Props);
  if (repeated < 0) return Fail(CWXML_ERROR_ATTRIBUTE, at);
  const wchar_t* name = static_cast<CWXMLProp*>(node->m_Props.GetAt(repeated))->m_pName;
  m_Detail = XmlRepeatedDetail(name, std::wcslen(name));
  return Fail(CWXML_ERROR_ATTRIBUTE, name);
}

template <bool kKeep>
int Parser<kKeep>::StartTag(wchar_t*& p) {
  wchar_t* lt = p;
  if (m_Depth >= static_cast<size_t>(CWXML_MAX_DEPTH)) return Fail(CWXML_ERROR_TOO_DEEP, lt);
  wchar_t* name = p + 1;
  p = XmlSkipName(name);
  if (p == name) return Fail(CWXML_ERROR_SYNTAX, name);
  CWXMLNode* node = m_pRoot;
  if (m_Depth > 0) {
    Level& parent = m_Levels[m_Depth - 1];
    if (kKeep) {  // the run of text before the child is a node before it
      if (int rc = KeepRun(parent)) return Fail(rc, lt);
      parent.m_Kept = true;
    }
    node = NewNode(parent.m_pNode);
    if (!node) return Fail(CWXML_ERROR_OUT_OF_MEMORY, lt);
    if (!parent.m_pNode->m_Children.Add(node)) {
      delete node;
      return Fail(CWXML_ERROR_OUT_OF_MEMORY, lt);
    }
    if (parent.m_Pieces) parent.m_ChildSince = true;
  }
  node->m_pName = name;
  if (m_Levels.size() <= m_Depth) m_Levels.emplace_back();
  m_Levels[m_Depth++].m_pNode = node;
  Unit c = At(p);
  *p = 0;
  for (;;) {
    const wchar_t* before = p;
    while (XmlIsSpace(c)) c = At(++p);
    if (c == '>') {
      ++p;
      break;
    }
    if (c == '/') {
      if (p[1] != '>') return Fail(CWXML_ERROR_SYNTAX, p);
      p += 2;
      if (int rc = EndOfStartTag(node, lt)) return rc;
      return Close(m_Levels[m_Depth - 1], true, nullptr);
    }
    if (c == 0) return Fail(CWXML_ERROR_SYNTAX, m_pEndOfText);
    if (p == before || !XmlIsNameStart(c)) return Fail(CWXML_ERROR_SYNTAX, p);
    if (int rc = Attribute(node, p, c)) return rc;
  }
  return EndOfStartTag(node, lt);
}

// A start tag read whole: its attributes are unique; one read from an
// entity's text or of an element the DTD declares attributes for goes on
// to Special().
template <bool kKeep>
inline int Parser<kKeep>::EndOfStartTag(CWXMLNode* node, const wchar_t* lt) {
  if (int rc = CheckUnique(node, lt)) return rc;
  if (m_Special)
    if (int rc = Special(node)) return Fail(rc, lt);
  return 0;
}

template <bool kKeep>
int Parser<kKeep>::EndTag(wchar_t*& p) {
  wchar_t* lt = p;
  if (m_Depth == 0) return Fail(CWXML_ERROR_OUTSIDE_ROOT, lt);
  if (m_Special && InEntity() && m_Depth == m_Frames.back().m_Depth)
    return Fail(CWXML_ERROR_SYNTAX, lt);  // it would close an element opened outside the entity
  Level& level = m_Levels[m_Depth - 1];
  const wchar_t* open = level.m_pNode->m_pName;
  wchar_t* q = p + 2;
  while (*open && *q == *open) ++q, ++open;
  if (*open || XmlIsNameChar(At(q))) return Mismatch(level.m_pNode->m_pName, lt);
  q = XmlSkipSpace(q);
  if (*q != '>') return Fail(CWXML_ERROR_SYNTAX, q);
  p = q + 1;
  return Close(level, false, lt);
}

// An end tag at lt that does not close the open element `open`.
template <bool kKeep>
__attribute__((noinline)) int Parser<kKeep>::Mismatch(const wchar_t* open, wchar_t* lt) {
  m_Detail = XmlMismatchDetail(lt + 2, static_cast<size_t>(XmlSkipName(lt + 2) - (lt + 2)), open,
                               std::wcslen(open));
  return Fail(CWXML_ERROR_MISMATCHED_TAG, lt);
}

// A fault inside an entity's replacement text is reported at the outermost
// reference in the document.
template <bool kKeep>
int Parser<kKeep>::Run() {
  const int rc = Body();
  if (rc && InEntity()) m_pFault = m_Frames.front().m_pRef;
  return rc;
}

template <bool kKeep>
int Parser<kKeep>::Body() {
  // The declaration was read and checked with the bytes: it ends at its
  // first "?>", since none of its values may hold a "?".
  wchar_t* p = m_pText;
  if (m_Setup.m_Declaration) {
    if (int rc = Reach(p, L"?>")) return rc;
    if (wchar_t* end = std::wcsstr(p, L"?>")) {
      if (kKeep)
        if (int rc = Keep(CWXML_NODE_PI, p + 2, end, false)) return Fail(rc, p);
      p = end + 2;
    }
  }
  for (;;) {
    if (!InEntity())
      if (int rc = Ahead(p)) return rc;
    if (m_Depth > 0) {
      if (int rc = Text(p)) return rc;
    } else {
      wchar_t* space = p;
      p = XmlSkipSpace(p);
      if (kKeep && p > space)
        if (int rc = Keep(CWXML_NODE_TEXT, space, p, true)) return Fail(rc, space);
    }
    if (!InEntity())
      if (int rc = Ahead(p)) return rc;
    if (*p == 0) {
      if (InEntity()) {
        if (int rc = LeaveEntity(p)) return rc;
        continue;
      }
      if (m_Depth > 0) return Fail(CWXML_ERROR_UNCLOSED_ELEMENT, m_pEndOfText);
      return m_RootDone ? 0 : Fail(CWXML_ERROR_NO_ROOT, p);
    }
    if (*p != '<') {
      if (*p != '&' || m_Depth == 0) return Fail(CWXML_ERROR_OUTSIDE_ROOT, p);
      if (int rc = EnterEntity(p)) return rc;
      continue;
    }
    int rc = 0;
    wchar_t* const markup = p;
    if (p[1] == '/') {
      rc = EndTag(p);
    } else if (p[1] == '?') {
      rc = Reach(p, L"?>");
      if (!rc) rc = XmlSkipProcessingInstruction(p, m_pEndOfText, m_pFault);
      if (!rc && kKeep) rc = Keep(CWXML_NODE_PI, markup + 2, p - 2, false);
    } else if (XmlStartsWith(p, L"<!--")) {
      rc = Reach(p, L"-->");
      if (!rc) rc = XmlSkipComment(p, m_pEndOfText, m_pFault);
      if (!rc && kKeep) rc = Keep(CWXML_NODE_COMMENT, markup + 4, p - 3, false);
    } else if (XmlStartsWith(p, L"<![CDATA[")) {
      rc = Reach(p, L"]]>");
      if (!rc) rc = m_Depth > 0 ? Cdata(p) : Fail(CWXML_ERROR_OUTSIDE_ROOT, p);
    } else if (XmlStartsWith(p, L"<!DOCTYPE")) {
      while (Decoding() && !rc) rc = DecodeStep();
      if (rc) {
      } else if (m_Depth > 0 || m_Doctype || m_RootDone) {
        rc = Fail(CWXML_ERROR_SYNTAX, p);
      } else {
        m_Doctype = true;
        rc = m_Dtd.Parse(p, m_pFault);
        m_Special = m_Dtd.HasAttributes();
        if (!rc && kKeep) rc = Keep(CWXML_NODE_DOCTYPE, markup, p, true);
      }
    } else if (m_RootDone && m_Depth == 0) {
      rc = Fail(CWXML_ERROR_OUTSIDE_ROOT, p);
    } else {
      rc = StartTag(p);
    }
    if (rc) return m_pFault ? rc : Fail(rc, p);
  }
}

}  // namespace

int XmlParseStandard(wchar_t* text, size_t units, const unsigned char* narrow,
                     const XmlParseSetup& setup, CWXMLNode* root, size_t* faultUnit,
                     std::string* detail) {
  auto parse = [&](auto& parser) {
    const int rc = parser.Run();
    if (rc) {
      *faultUnit = parser.FaultUnit();
      detail->swap(parser.Detail());
    }
    return rc;
  };
  if (setup.m_KeepAll) {
    Parser<true> parser(text, units, narrow, setup, root);
    return parse(parser);
  }
  Parser<false> parser(text, units, narrow, setup, root);
  return parse(parser);
}

}  // namespace cwbase_internal
