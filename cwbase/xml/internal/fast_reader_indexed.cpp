// The indexed pass of XmlFastReader (fast_reader.h): it reads any text as
// the reference reader does, step by step, with the index (index.h) telling
// where each "<" stands and where each element's end tag is, so that no
// element's content is scanned twice.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "cwbase/xml/internal/fast_reader.h"

namespace cwbase_internal {

template <typename Char>
size_t XmlFastReader<Char>::Parse(CWXMLNode* node, wchar_t* buffer) {
  m_Buffer = buffer;
  size_t result = Element(node, 0, m_End, 1, false);
  Widen(m_End);
  return result;
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

// The readers xmlreader.cpp makes; the members Parse calls are instantiated
// with it.
template size_t XmlFastReader<unsigned char>::Parse(CWXMLNode* node, wchar_t* buffer);
template size_t XmlFastReader<wchar_t>::Parse(CWXMLNode* node, wchar_t* buffer);

}  // namespace cwbase_internal
