// XmlFastReader: the XML reader's core (see xmlreader.cpp), reading a text
// exactly as the reference reader (reader_reference.h) does, in one of two
// ways:
// - indexed (Parse): the index (index.h) tells where every "<" stands and
//   where each element's end tag is, before anything is cut;
// - in one pass (ParseOnePass): elements are read in document order and
//   each end tag is matched as it is met. That equals the reference
//   reader's end-tag search (which counts the element's name, see index.h)
//   while the text is regular: every start tag ends within the text and
//   holds no "<", every end tag closes the element just opened, names are
//   not empty and do not begin with "/", nesting stays within
//   CWXML_MAX_DEPTH, no self-closing tag reads as an open of an ancestor's
//   name, and nothing fails to allocate. The pass stops at the first thing
//   that is not regular and reports it; the caller then restores the text
//   and reads it indexed. The same cuts are made at the same places either
//   way, so a regular text gives the same tree and the same buffer.
// Positions are unit offsets; `m_Text` is what is read (the buffer itself,
// or the 8-bit original of a buffer still being widened), `m_Buffer` what
// is cut and pointed into. Private to the XML subsystem.
// Allocation failure: caught; the reader keeps what it built, as the
// reference reader does (the one pass reports it as not regular).
// Threads: a reader is used by one thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "cwbase/xml/internal/index.h"
#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/text/internal/ascii_runs.h"
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
  size_t Parse(CWXMLNode* node, wchar_t* buffer) {
    m_Buffer = buffer;
    size_t result = Element(node, 0, m_End, 1, false);
    Widen(m_End);
    return result;
  }

  // One pass: as Parse when the text is regular (see the file comment),
  // which then always reads an element: true. False when it is not; the
  // node and the buffer are then half-cut and must be emptied and restored
  // (8-bit text needs no restoring: an indexed parse widens it again).
  bool ParseOnePass(CWXMLNode* node, wchar_t* buffer) {
    m_Buffer = buffer;
    node->CleanUp();
    const size_t lt = XmlSearch<kXmlLt>(m_Text, 0, m_End, m_Size);
    bool read = lt != m_End && Flow(node, lt, 1) != kXmlNone;
    // The node's own child array keeps its capacity through a clean-up, so
    // its children are added only once the text has proved regular: an
    // indexed read after a refusal then grows it as the reference would.
    for (CWXMLNode* child : m_TopChildren)
      if (!read || !node->m_Children.Add(child)) {
        read = false;
        delete child;
      }
    if (!read) return false;
    Widen(m_End);
    return true;
  }

 private:
  size_t Element(CWXMLNode* node, size_t text, size_t limit, int level, bool fresh);
  size_t Attributes(CWXMLNode* node, size_t tag, size_t tagEnd);
  size_t EndTag(int32_t entry, size_t content, size_t limit, size_t name, size_t len) const;
  size_t LiteralEndTag(size_t content, size_t limit, size_t name, size_t len) const;
  template <uint32_t kClass>
  size_t FindInTag(size_t from, size_t tagEnd, bool masked) const;
  int32_t NextLt(size_t at, size_t limit);
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

  const Char* m_Text;
  size_t m_Size;
  size_t m_End;  // the first zero unit
  wchar_t* m_Buffer = nullptr;
  const XmlIndex* m_pIndex;                             // null for one pass
  size_t m_Widened = sizeof(Char) == 1 ? 0 : kXmlNone;  // widened units; kXmlNone for wide text
  size_t m_Waiting[kWaitingRoom];  // end-tag zeros beyond m_Widened, nearest last
  size_t m_WaitingCount = 0;
  size_t m_Cursor = 0;
  XmlTagScan m_Scan;  // the tag being read
  XmlPool m_Pool;     // the objects of this parse
  Open m_Open[CWXML_MAX_DEPTH + 1];
  // How many open names fall on each of 256 hash values: most self-closing
  // tags are cleared of matching an open name without comparing.
  uint16_t m_OpenHashes[256] = {};
  bool m_Short = false;                   // an allocation failed: what was built is short
  size_t m_NextLt = kXmlNone;             // after a one-pass element: the next "<", if known
  std::vector<CWXMLNode*> m_TopChildren;  // a one pass's children of its node
};

// The bucket of the name of `len` units at `at` in m_OpenHashes.
template <typename Char>
inline unsigned XmlNameHash(const Char* text, size_t at, size_t len) {
  return (static_cast<unsigned>(len) * 31u + static_cast<unsigned>(text[at]) * 7u +
          static_cast<unsigned>(text[at + len - 1])) &
         255u;
}

// Whether the `len` units at `token` equal the name of an element a one
// pass has open below `level`.
template <typename Char>
bool XmlFastReader<Char>::OpensAncestor(size_t token, size_t len, int level) const {
  if (!m_OpenHashes[XmlNameHash(m_Text, token, len)]) return false;
  for (int i = 1; i < level; ++i) {
    if (m_Open[i].m_Length != len) continue;
    size_t k = 0;
    while (k < len && m_Text[m_Open[i].m_Name + k] == m_Text[token + k]) ++k;
    if (k == len) return true;
  }
  return false;
}

// One pass over an element whose first tag (or a "?" tag before it) opens
// at the "<" at `lt`: the cuts of Element, made in document order, with
// each end tag matched when met. Returns the position after the element,
// or kXmlNone as soon as the text is not regular (see the file comment).
template <typename Char>
size_t XmlFastReader<Char>::Flow(CWXMLNode* node, size_t lt, int level) {
  const Char* t = m_Text;
  size_t tag, close;
  for (;;) {
    tag = lt + 1;
    close = m_Scan.Run(t, tag, m_End, m_Size);
    if (close == m_End || m_Scan.HasLt()) return kXmlNone;
    lt = XmlSearch<kXmlLt>(t, close + 1, m_End, m_Size);  // the first "<" after the tag
    Widen(close + 1);
    m_Buffer[close] = 0;
    node->m_pName = m_Buffer + tag;
    if (t[tag] != '?') break;
    if (lt == m_End) return kXmlNone;  // a "?" tag and nothing after it
  }
  // An empty name, or an end tag where an element should start.
  if (close == tag || t[tag] == '/' || t[tag] == ' ') return kXmlNone;
  const bool selfClosing = t[close - 1] == '/';
  const size_t tagEnd = selfClosing ? close - 1 : close;
  if (selfClosing) {
    // Its token for the end-tag searches around it: the name when a space
    // follows, else the name and the "/"; an open of an ancestor's name.
    // Read before the "/" is cut (wide text is read where it is cut).
    const size_t space = FindInTag<kXmlSpace>(tag, tagEnd, m_Scan.Covers(tagEnd));
    if (OpensAncestor(tag, (space < tagEnd ? space : close) - tag, level)) return kXmlNone;
    m_Buffer[tagEnd] = 0;
  }
  const size_t nameEnd = Attributes(node, tag, tagEnd);
  const size_t len = nameEnd - tag;
  // A quoted ">" in the name would end the index's token for it early.
  if (m_Short || XmlSearch<kXmlTagClose>(t, tag, nameEnd, m_Size) != nameEnd) return kXmlNone;
  if (selfClosing) {
    m_NextLt = lt;  // found with the tag: the caller need not search again
    return close + 1;
  }

  m_Open[level] = {tag, len};
  const unsigned hash = XmlNameHash(t, tag, len);
  ++m_OpenHashes[hash];
  size_t value = close + 1, endTag = kXmlNone;  // `lt`: the first "<" from `value` on
  while (lt + 1 < m_End) {
    if (t[lt + 1] == '/') {
      size_t k = 0;
      if (lt + 2 + len < m_End) {
        while (k < len && t[lt + 2 + k] == t[tag + k]) ++k;
        if (k == len && t[lt + 2 + len] == '>') endTag = lt;
      }
      break;
    }
    if (level >= CWXML_MAX_DEPTH) break;
    CWXMLNode* child;
    try {
      child = XmlNewNode(m_Pool, node);
    } catch (const std::bad_alloc&) {
      break;
    }
    const size_t after = Flow(child, lt, level + 1);
    bool added = after != kXmlNone;
    if (added && level == 1) {
      try {
        m_TopChildren.push_back(child);
      } catch (const std::bad_alloc&) {
        added = false;
      }
    } else if (added) {
      added = node->m_Children.Add(child) != 0;
    }
    if (!added) {
      delete child;
      break;
    }
    value = after;
    lt = m_NextLt != kXmlNone ? m_NextLt : XmlSearch<kXmlLt>(t, value, m_End, m_Size);
  }
  --m_OpenHashes[hash];
  if (endTag == kXmlNone) return kXmlNone;

  // The end tag's zero; the text after the last child, trimmed.
  Widen(endTag + 1);
  m_Buffer[endTag] = 0;
  if (value < endTag) {
    value = XmlSearch<kXmlWhite, false>(t, value, endTag, m_Size);
    for (size_t end = XmlTrimBack<kXmlWhite>(t, value, endTag); end < endTag; ++end)
      m_Buffer[end] = 0;
  }
  node->m_pValue = m_Buffer + value;
  m_NextLt = kXmlNone;
  return endTag + 2 + len + 1;
}

// wcschr(at, '<') for a text that ends at `limit`: the entry of the first
// "<" at or after `at` and before `limit`, or -1. Reads go forward through
// the text, so a cursor serves them; a step back searches.
template <typename Char>
int32_t XmlFastReader<Char>::NextLt(size_t at, size_t limit) {
  const std::vector<uint32_t>& lt = m_pIndex->m_Lt;
  if (m_Cursor > 0 && lt[m_Cursor - 1] >= at)
    m_Cursor = static_cast<size_t>(std::lower_bound(lt.begin(), lt.end(), at) - lt.begin());
  while (m_Cursor < lt.size() && lt[m_Cursor] < at) ++m_Cursor;
  if (m_Cursor == lt.size() || lt[m_Cursor] >= limit) return -1;
  if (m_Cursor + 4 < lt.size()) __builtin_prefetch(m_Text + lt[m_Cursor + 4]);
  return static_cast<int32_t>(m_Cursor);
}

// The "<" of the end tag of the element whose start tag is entry `entry` and
// whose name is the `len` units at `name`, or kXmlNone.
template <typename Char>
size_t XmlFastReader<Char>::EndTag(int32_t entry, size_t content, size_t limit, size_t name,
                                   size_t len) const {
  // A name the index has no token for holds "<" or ">", or begins with "/".
  if (m_pIndex->OpenTokenLength(static_cast<size_t>(entry)) != static_cast<int32_t>(len))
    return LiteralEndTag(content, limit, name, len);
  int32_t r = m_pIndex->EndTag(static_cast<size_t>(entry), content, limit);
  return r < 0 ? kXmlNone : m_pIndex->m_Lt[static_cast<size_t>(r)];
}

// The reference reader's end-tag search over [content, limit), the zero at
// `limit` included. The units just before `content` are the start tag's
// ">" and the unit before it; that search sees a zero for the ">", and
// neither a zero nor ">" is "<" or "/", so reading the original is the same.
template <typename Char>
size_t XmlFastReader<Char>::LiteralEndTag(size_t content, size_t limit, size_t name,
                                          size_t len) const {
  const Char* t = m_Text;
  int depth = 0;
  for (size_t q = content; q < limit; ++q) {
    if (len) {
      if (t[q] != t[name] || limit - q < len) continue;
      size_t i = 1;
      while (i < len && t[q + i] == t[name + i]) ++i;
      if (i < len) continue;
    }
    Char next = q + len < limit ? t[q + len] : 0;
    if (t[q - 2] == '<' && t[q - 1] == '/') {
      if (next == '>') {
        if (depth == 0) return q - 2;
        --depth;
      }
    } else if (t[q - 1] == '<' && (next == ' ' || next == '>')) {
      ++depth;
    }
  }
  return kXmlNone;
}

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

// The steps of the reference reader's element, reading from `text` up to
// `limit`. A `fresh` node was just constructed, so cleaning it up would
// change nothing.
template <typename Char>
size_t XmlFastReader<Char>::Element(CWXMLNode* node, size_t text, size_t limit, int level,
                                    bool fresh) {
  if (text >= limit) return kXmlNone;  // an empty text
  if (!fresh) node->CleanUp();

  size_t result = kXmlNone;
  bool hasContent = true;
  size_t tag, tagEnd, content = text;
  int32_t entry;
  for (;;) {
    entry = NextLt(content, limit);
    if (entry < 0) return kXmlNone;
    tag = m_pIndex->m_Lt[static_cast<size_t>(entry)] + 1;
    size_t close = m_Scan.Run(m_Text, tag, limit, m_Size);
    if (close == limit) return kXmlNone;
    Widen(close + 1);
    m_Buffer[close] = 0;
    node->m_pName = m_Buffer + tag;
    content = close + 1;
    tagEnd = close;
    if (close > tag && m_Text[tag] == '?') continue;
    if (close > tag && m_Text[close - 1] == '/') {
      m_Buffer[close - 1] = 0;
      result = content;
      hasContent = false;
      tagEnd = close - 1;
    }
    break;
  }
  const size_t nameEnd = Attributes(node, tag, tagEnd);

  size_t endTag = kXmlNone;
  if (hasContent) {
    const size_t len = nameEnd - tag;
    endTag = EndTag(entry, content, limit, tag, len);
    if (endTag != kXmlNone) {
      ZeroAhead(endTag);
      node->m_pValue = m_Buffer + content;
      result = endTag + 2 + len + 1;
    }
  }

  // Children, each read from what remains of this element's content; the
  // value is the position they have reached.
  size_t value = node->m_pValue ? content : kXmlNone;
  try {
    while (value != kXmlNone && NextLt(value, endTag) >= 0) {
      if (level >= CWXML_MAX_DEPTH) {
        node->m_pValue = nullptr;  // too deep: fails like a child without end tag
        return result;
      }
      CWXMLNode* child = XmlNewNode(m_Pool, node);
      value = Element(child, value, endTag, level + 1, true);
      node->m_pValue = value == kXmlNone ? nullptr : m_Buffer + value;
      if (value == kXmlNone) {
        delete child;
      } else if (!node->m_Children.Add(child)) {
        delete child;
        return result;
      }
    }
  } catch (const std::bad_alloc&) {
    return result;
  }

  // Text: nothing after the last child was cut, so the value runs up to the
  // end tag; trim white space on both sides.
  if (value != kXmlNone && value < endTag) {
    Widen(endTag);
    value = XmlSearch<kXmlWhite, false>(m_Text, value, endTag, m_Size);
    for (size_t end = XmlTrimBack<kXmlWhite>(m_Text, value, endTag); end < endTag; ++end)
      m_Buffer[end] = 0;
    node->m_pValue = m_Buffer + value;
  }
  return result;
}

}  // namespace cwbase_internal
