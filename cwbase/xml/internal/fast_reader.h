// XmlFastReader: the XML reader's core (see xmlreader.cpp), reading a text
// exactly as the reference reader (reader_reference.h) does, in one of two
// ways:
// - in one pass (ParseOnePass, fast_reader_onepass.cpp): elements are read
//   in document order and each end tag is matched as it is met. That is
//   exact only while the text is regular (the rules are in that file); the
//   pass stops at the first thing that is not and reports it;
// - indexed (Parse, fast_reader_indexed.cpp): the index (index.h) tells
//   where every "<" stands and where each element's end tag is, before
//   anything is cut. It reads any text.
// The same cuts are made at the same places either way, so a regular text
// gives the same tree and the same buffer. This header holds what both
// passes share: the class, the splitting of a start tag into its name and
// attributes, and the widening of 8-bit text into the buffer.
//
// Positions are unit offsets; `m_Text` is what is read (the buffer itself,
// or the 8-bit original of a buffer still being widened), `m_Buffer` what
// is cut and pointed into. The reader owns nothing it is given: the text,
// the index and the buffer belong to the caller and must outlive it; the
// nodes it makes are owned by the tree they are added to.
// The passes are compiled once each, in their own files, for `unsigned
// char` (ASCII text) and `wchar_t` only: Parse and ParseOnePass link for
// those two.
// Allocation failure: caught; the reader keeps what it built, as the
// reference reader does (the one pass reports it as not regular).
// Private to the XML subsystem.
// Threads: a reader is used by one thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "cwbase/text/internal/ascii_runs.h"
#include "cwbase/xml/internal/index.h"
#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

constexpr size_t kXmlNone = static_cast<size_t>(-1);

template <typename Char>
class XmlFastReader {
 public:
  // Indexed reading of `text`, of which `size` units may be read. Allocates
  // ahead the storage for as many nodes and attributes as the text can hold
  // (within reason): one run of chunks, laid out in the order the parse
  // fills them.
  XmlFastReader(const Char* text, size_t size, const XmlIndex& index)
      : m_Text(text), m_Size(size), m_End(index.m_End), m_pIndex(&index) {
    const size_t objects = index.m_Lt.size() * (sizeof(CWXMLNode) + kXmlLentBytes + 8) +
                           index.m_Equals * (sizeof(CWXMLProp) + 8);
    m_Pool.Reserve(std::min(objects, 16 * size));
  }
  // One-pass reading of `text`, whose first zero unit is at `end` (< size).
  XmlFastReader(const Char* text, size_t size, size_t end)
      : m_Text(text), m_Size(size), m_End(end), m_pIndex(nullptr) {}

  // Indexed: parses into `node` from the start of the text, cutting
  // `buffer`: the text itself when it is wide; for 8-bit text, the buffer
  // it is widened into as the parse goes. Returns the position after the
  // element, or kXmlNone. The whole text is widened by then.
  size_t Parse(CWXMLNode* node, wchar_t* buffer);

  // One pass: as Parse when the text is regular (see
  // fast_reader_onepass.cpp), which then always reads an element: true.
  // False when it is not; the node and the buffer are then half-cut and
  // must be emptied and restored (8-bit text needs no restoring: an indexed
  // parse widens it again).
  bool ParseOnePass(CWXMLNode* node, wchar_t* buffer);

 private:
  // Both passes.
  size_t Attributes(CWXMLNode* node, size_t tag, size_t tagEnd);
  template <uint32_t kClass>
  size_t FindInTag(size_t from, size_t tagEnd, bool masked) const;

  // The indexed pass.
  size_t Element(CWXMLNode* node, size_t text, size_t limit, int level, bool fresh);
  size_t EndTag(int32_t entry, size_t content, size_t limit, size_t name, size_t len) const;
  size_t LiteralEndTag(size_t content, size_t limit, size_t name, size_t len) const;
  int32_t NextLt(size_t at, size_t limit);

  // The one pass.
  size_t Flow(CWXMLNode* node, size_t lt, int level);
  bool OpensAncestor(size_t token, size_t len, int level) const;

  // Widens the 8-bit text up to `to` at least, then writes the end-tag
  // zeros that were waiting for it. Tags end in small steps: at least 64
  // units are widened at a time (up to the end of the text), so that the
  // vector loop does the work.
  void Widen(size_t to) {
    if (to <= m_Widened || m_Widened == kXmlNone) return;
    to = std::min(std::max(to, m_Widened + 64), m_End);
    WidenAsciiRun(reinterpret_cast<const unsigned char*>(m_Text) + m_Widened, to - m_Widened,
                  m_Buffer + m_Widened);  // the 8-bit text is ASCII up to m_End
    m_Widened = to;
    while (m_WaitingCount && m_Waiting[m_WaitingCount - 1] < to)
      m_Buffer[m_Waiting[--m_WaitingCount]] = 0;
  }

  // The zero over an end tag's "<", which may lie beyond the widened part.
  // The zeros waiting are those of the elements being read, the nearest
  // last: an end tag is found after every end tag it comes before has been
  // passed. Should the room run out all the same, the text is widened up to
  // the end tag at once, which is only slower.
  void ZeroAhead(size_t at) {
    if (at >= m_Widened && m_WaitingCount < kWaitingRoom &&
        (!m_WaitingCount || at < m_Waiting[m_WaitingCount - 1])) {
      m_Waiting[m_WaitingCount++] = at;
      return;
    }
    Widen(at + 1);
    m_Buffer[at] = 0;
  }

  static constexpr size_t kWaitingRoom = CWXML_MAX_DEPTH + 8;

  // The start tags of the elements a one pass has open, outermost first:
  // where each name starts and how long it is.
  struct Open {
    size_t m_Name, m_Length;
  };

  // Members marked "indexed" or "one pass" serve that pass only.
  const Char* m_Text;
  size_t m_Size;
  size_t m_End;  // the first zero unit
  wchar_t* m_Buffer = nullptr;
  const XmlIndex* m_pIndex;                             // indexed; null for one pass
  size_t m_Widened = sizeof(Char) == 1 ? 0 : kXmlNone;  // widened units; kXmlNone for wide text
  size_t m_Waiting[kWaitingRoom];  // end-tag zeros beyond m_Widened, nearest last
  size_t m_WaitingCount = 0;
  size_t m_Cursor = 0;               // indexed: NextLt's entry
  XmlTagScan m_Scan;                 // the tag being read
  XmlPool m_Pool;                    // the objects of this parse
  Open m_Open[CWXML_MAX_DEPTH + 1];  // one pass
  // One pass: how many open names fall on each of 256 hash values: most
  // self-closing tags are cleared of matching an open name without comparing.
  uint16_t m_OpenHashes[256] = {};
  bool m_Short = false;                   // an allocation failed: what was built is short
  size_t m_NextLt = kXmlNone;             // one pass, after an element: the next "<", if known
  std::vector<CWXMLNode*> m_TopChildren;  // one pass: the children of its node
};

// The first unit of class kClass in [from, tagEnd): from the tag scan's masks
// when they cover the tag, else by a search.
template <typename Char>
template <uint32_t kClass>
size_t XmlFastReader<Char>::FindInTag(size_t from, size_t tagEnd, bool masked) const {
  if (masked) return m_Scan.template Find<kClass>(from, tagEnd);
  return XmlSearch<kClass>(m_Text, from, tagEnd, m_Size);
}

// CWXMLNode::ExtractPropsFromName with CWXMLProp::Init over the tag text
// [tag, tagEnd): the same cuts, the same attributes. An attribute that would
// get no name or no value (the list is empty or holds no "=") ends the list
// without being allocated. Returns where the name ends.
template <typename Char>
size_t XmlFastReader<Char>::Attributes(CWXMLNode* node, size_t tag, size_t tagEnd) {
  const Char* t = m_Text;
  // The masks of the tag scan answer for all but very long tags.
  const bool masked = m_Scan.Covers(tagEnd);
  const size_t space = FindInTag<kXmlSpace>(tag, tagEnd, masked);
  if (space == tagEnd) return tagEnd;
  m_Buffer[space] = 0;
  size_t pos = space + 1;
  while (pos < tagEnd) {
    size_t eq = FindInTag<kXmlEquals>(pos, tagEnd, masked);
    if (eq == tagEnd) break;
    CWXMLProp* prop;
    try {
      prop = XmlNewProp(m_Pool);
    } catch (const std::bad_alloc&) {
      m_Short = true;
      break;  // keep the attributes taken so far
    }
    m_Buffer[eq] = 0;
    prop->m_pName = m_Buffer + pos;
    size_t value = eq + 1;
    size_t end;
    if (value < tagEnd && t[value] == '"') {
      ++value;
      end = FindInTag<kXmlQuote>(value, tagEnd, masked);
      pos = end + 1 < tagEnd && t[end + 1] == ' ' ? end + 2 : end + 1;
    } else {
      end = FindInTag<kXmlSpace>(value, tagEnd, masked);
      pos = end + 1;
    }
    if (end < tagEnd)
      m_Buffer[end] = 0;
    else
      pos = kXmlNone;  // the value runs to the end of the tag text
    prop->m_pValue = m_Buffer + value;
    if (!node->m_Props.Add(prop)) {
      m_Short = true;
      delete prop;
    }
  }
  return space;
}

}  // namespace cwbase_internal
