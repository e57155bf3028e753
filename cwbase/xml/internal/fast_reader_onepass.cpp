// The one pass of XmlFastReader (fast_reader.h): elements read in document
// order, each end tag matched as it is met. That equals the reference
// reader's end-tag search (which counts the element's name, see index.h)
// while the text is regular: every start tag ends within the text and holds
// no "<", every end tag closes the element just opened, names are not empty
// and do not begin with "/", nesting stays within CWXML_MAX_DEPTH, no
// self-closing tag reads as an open of an ancestor's name, and nothing fails
// to allocate. The pass stops at the first thing that is not regular and
// reports it; the caller then restores the text and reads it indexed
// (fast_reader_indexed.cpp).
#include <cstddef>
#include <cstdint>
#include <new>

#include "cwbase/xml/internal/fast_reader.h"

namespace cwbase_internal {

namespace {

// The bucket of the name of `len` units at `at` in m_OpenHashes.
template <typename Char>
inline unsigned XmlNameHash(const Char* text, size_t at, size_t len) {
  return (static_cast<unsigned>(len) * 31u + static_cast<unsigned>(text[at]) * 7u +
          static_cast<unsigned>(text[at + len - 1])) &
         255u;
}

}  // namespace

template <typename Char>
bool XmlFastReader<Char>::ParseOnePass(CWXMLNode* node, wchar_t* buffer) {
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

// The readers xmlreader.cpp makes; the members ParseOnePass calls are
// instantiated with it.
template bool XmlFastReader<unsigned char>::ParseOnePass(CWXMLNode* node, wchar_t* buffer);
template bool XmlFastReader<wchar_t>::ParseOnePass(CWXMLNode* node, wchar_t* buffer);

}  // namespace cwbase_internal
