// The XML reader: an in-place scanner that cuts the document's own copy of the
// text into names and values and builds the tree from borrowed pointers.
//
// It reads exactly as the straightforward reader of xmlreader_plain.cpp does
// (the same steps, the same writes into the text in the same order, so the
// same tree and the same buffer), but finds three things without scanning:
// - the next "<" (from the index of every "<");
// - an element's end tag (from the index's per-name pairing of start and end
//   tags, see xmlindex.h), falling back to the plain search for names the
//   pairing cannot answer for;
// - the end of a text value (the end tag's position).
// That needs, for every scan, the position where the plain reader's scan
// would stop: the first zero unit after it. The reader only ever writes zeros
// behind the position it reads from, except for the "<" of an end tag, which
// it writes before reading the element's content. So the text an element
// reads from is the original text up to its parent's end tag (the whole text
// for the element a parse starts on), and that position is passed down as
// the element's limit.
//
// The 8-bit loader widens plain ASCII text straight into the document's
// buffer when the locale reads every ASCII byte as itself; any other text
// goes through MultiByteToWideChar as described in xmlnode.h.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>

#include "cwbase/text/encoding.h"
#include "cwbase/xml/xmlindex.h"
#include "cwbase/xml/xmlnode.h"
#include "cwbase/xml/xmlreader_plain.h"

namespace {

bool IsTrimmed(wchar_t c) {
  return c == L'\t' || c == L'\n' || c == L' ' || c == L'\r';
}

// The ">" that ends a tag whose text starts at `p`: the first one outside a
// double-quoted stretch. Null when the text ends first.
wchar_t* FindTagEnd(wchar_t* p) {
  bool quoted = false;
  for (; *p; ++p) {
    if (*p == L'"')
      quoted = !quoted;
    else if (*p == L'>' && !quoted)
      return p;
  }
  return nullptr;
}

// The plain end-tag search (see xmlreader_plain.cpp), for names the index
// cannot answer for.
wchar_t* FindEndTagPlain(wchar_t* content, const wchar_t* name, size_t len) {
  int depth = 0;
  for (wchar_t* q = content; *q; ++q) {
    if (len && (*q != name[0] || wcsncmp(q, name, len) != 0)) continue;
    wchar_t next = q[len];
    if (q[-2] == L'<' && q[-1] == L'/') {
      if (next == L'>') {
        if (depth == 0) return q - 2;
        --depth;
      }
    } else if (q[-1] == L'<' && (next == L' ' || next == L'>')) {
      ++depth;
    }
  }
  return nullptr;
}

class FastReader {
 public:
  FastReader(wchar_t* base, const CWXMLIndex& index) : m_Base(base), m_Index(index) {}

  wchar_t* Parse(CWXMLNode* node, wchar_t* text) { return Element(node, text, m_Base + m_Index.m_End, 1); }

 private:
  size_t At(const wchar_t* p) const { return static_cast<size_t>(p - m_Base); }

  // wcschr(p, '<') for a text that ends at `limit`: the entry of the first
  // "<" at or after p and before limit, or -1. Reads go forward through the
  // text, so a cursor serves them; a step back searches.
  int32_t NextLt(const wchar_t* p, const wchar_t* limit) {
    const std::vector<uint32_t>& lt = m_Index.m_Lt;
    const size_t at = At(p);
    if (m_Cursor > 0 && lt[m_Cursor - 1] >= at)
      m_Cursor = static_cast<size_t>(std::lower_bound(lt.begin(), lt.end(), at) - lt.begin());
    while (m_Cursor < lt.size() && lt[m_Cursor] < at) ++m_Cursor;
    if (m_Cursor == lt.size() || lt[m_Cursor] >= At(limit)) return -1;
    return static_cast<int32_t>(m_Cursor);
  }

  // The "<" of the end tag of the element whose start tag is entry `e`.
  wchar_t* EndTag(int32_t e, wchar_t* content, wchar_t* limit, const wchar_t* name, size_t len) {
    if (m_Index.OpenTokenLength(static_cast<size_t>(e)) != static_cast<int32_t>(len))
      return FindEndTagPlain(content, name, len);  // the name holds "<" or ">", or begins with "/"
    int32_t r = m_Index.EndTag(static_cast<size_t>(e), At(content), At(limit));
    return r < 0 ? nullptr : m_Base + m_Index.m_Lt[static_cast<size_t>(r)];
  }

  wchar_t* Element(CWXMLNode* node, wchar_t* text, wchar_t* limit, int level);

  wchar_t* m_Base;
  const CWXMLIndex& m_Index;
  size_t m_Cursor = 0;
};

// The steps of ParseElement in xmlreader_plain.cpp; `limit` is where the
// plain reader's scans from `text` would meet their first zero unit.
wchar_t* FastReader::Element(CWXMLNode* node, wchar_t* text, wchar_t* limit, int level) {
  if (!text || !*text) return nullptr;
  node->CleanUp();

  wchar_t* result = nullptr;
  bool hasContent = true;
  wchar_t* tag;
  wchar_t* content = text;
  int32_t entry;
  for (;;) {
    entry = NextLt(content, limit);
    if (entry < 0) return nullptr;
    tag = m_Base + m_Index.m_Lt[static_cast<size_t>(entry)] + 1;
    wchar_t* close = FindTagEnd(tag);
    if (!close) return nullptr;
    *close = 0;
    node->m_pName = tag;
    content = close + 1;
    if (tag[0] == L'?') continue;
    if (close > tag && close[-1] == L'/') {
      close[-1] = 0;
      result = content;
      hasContent = false;
    }
    break;
  }
  node->ExtractPropsFromName(tag);

  wchar_t* endTag = nullptr;
  if (hasContent) {
    size_t len = wcslen(node->m_pName);
    endTag = EndTag(entry, content, limit, node->m_pName, len);
    if (endTag) {
      *endTag = 0;
      node->m_pValue = content;
      result = endTag + 2 + len + 1;
    }
  }

  try {
    while (node->m_pValue && NextLt(node->m_pValue, endTag) >= 0) {
      if (level >= CWXML_MAX_DEPTH) {
        node->m_pValue = nullptr;
        break;
      }
      CWXMLNode* child = new CWXMLNode(node);
      node->m_pValue = Element(child, node->m_pValue, endTag, level + 1);
      if (!node->m_pValue) {
        delete child;
      } else if (!node->m_Children.Add(child)) {
        delete child;
        return result;
      }
    }
  } catch (const std::bad_alloc&) {
    return result;
  }

  // A value is only ever set with its end tag found, and nothing after the
  // last child was cut: the value runs up to the end tag.
  wchar_t* value = node->m_pValue;
  if (value && *value) {
    while (IsTrimmed(*value)) ++value;
    wchar_t* end = endTag;
    while (end > value && IsTrimmed(end[-1])) *--end = 0;
    node->m_pValue = value;
  }
  return result;
}

// The locale reads each byte 1-127 as the character of the same code and
// stays in its initial shift state, so any text of such bytes converts unit
// for unit (which is what MultiByteToWideChar would produce).
bool LocaleKeepsAscii() {
  for (int c = 1; c < 0x80; ++c) {
    char byte = static_cast<char>(c);
    wchar_t unit = 0;
    mbstate_t state{};
    if (mbrtowc(&unit, &byte, 1, &state) != 1 || unit != static_cast<wchar_t>(c) || !mbsinit(&state))
      return false;
  }
  return true;
}

// Texts shorter than this go through MultiByteToWideChar: the locale check
// would cost more than it saves.
constexpr unsigned long kAsciiCheckFrom = 1024;

bool Inside(CWBlock& block, const unsigned char* p) {
  auto lo = reinterpret_cast<uintptr_t>(block.GetBuffer());
  auto at = reinterpret_cast<uintptr_t>(p);
  return lo && at >= lo && at < lo + block.GetCapacity();
}

}  // namespace

wchar_t* CWXMLProp::Init(wchar_t* text) {
  if (!text || !*text) return nullptr;
  wchar_t* eq = wcschr(text, L'=');
  if (!eq) return nullptr;
  *eq = 0;
  m_pName = text;
  wchar_t* value = eq + 1;
  if (*value == L'"') {
    m_pValue = ++value;
    wchar_t* quote = wcschr(value, L'"');
    if (!quote) return nullptr;
    *quote = 0;
    return quote[1] == L' ' ? quote + 2 : quote + 1;
  }
  m_pValue = value;
  wchar_t* space = wcschr(value, L' ');
  if (!space) return nullptr;
  *space = 0;
  return space + 1;
}

void CWXMLNode::ExtractPropsFromName(wchar_t* text) {
  if (!text || !*text) return;
  wchar_t* space = wcschr(text, L' ');
  if (!space) return;
  *space = 0;
  wchar_t* pos = space + 1;
  while (pos) {
    CWXMLProp* prop = new (std::nothrow) CWXMLProp();
    if (!prop) return;  // keep the attributes taken so far
    pos = prop->Init(pos);
    if (!prop->IsValid() || !m_Props.Add(prop)) delete prop;
  }
}

wchar_t* CWXMLNode::Parse(wchar_t* text) {
  if (!text || !*text) return nullptr;
  CWXMLIndex index;
  try {
    index.ScanWide(text, wcslen(text) + 1);
    index.Tokenize(text);
  } catch (const std::bad_alloc&) {
    return CWXMLPlainParse(this, text);
  }
  return FastReader(text, index).Parse(this, text);
}

int CWXMLDocument::LoadWide(unsigned char* data, unsigned long size) {
  // Loading from our own buffer: copy the bytes aside before resizing it.
  if (data && Inside(m_Buffer, data)) {
    CWBlock aside(data, size);
    return LoadWide(static_cast<unsigned char*>(aside.GetBuffer()), size);
  }
  // The tree's borrowed strings die with the old text: empty it first.
  CleanUp();
  // Whole units plus one zero unit, so even a partial last unit is followed
  // by a terminator. SetBuffer copies the text and clears the rest.
  const unsigned long units = (size + 3) / 4 + 1;
  m_Buffer.SetSize(units * sizeof(wchar_t));
  if (!m_Buffer.SetBuffer(data, size)) {
    m_Buffer.Zero();
    return -1;
  }
  auto* text = static_cast<wchar_t*>(m_Buffer.GetBuffer());
  CWXMLIndex index;
  try {
    index.ScanWide(text, units);
    index.Tokenize(text);
  } catch (const std::bad_alloc&) {
    return CWXMLPlainParse(this, text) ? 0 : -1;
  }
  return FastReader(text, index).Parse(this, text) ? 0 : -1;
}

int CWXMLDocument::LoadFromStream(unsigned char* data, int length) {
  if (length < 0) return -1;
  return LoadWide(data, static_cast<unsigned long>(length));
}

int CWXMLDocument::LoadFromStreamAscii(unsigned char* data, int length) {
  if (length < 0) return -1;
  const unsigned long n = static_cast<unsigned long>(length);
  if (data && n >= kAsciiCheckFrom && !Inside(m_Buffer, data) && LocaleKeepsAscii()) {
    // What LoadWide leaves for the 4n + 4 bytes of the converted text: a
    // buffer of at least 4n + 8 bytes holding the units and zeros after them,
    // with a data length of 4n + 4.
    const unsigned long size = 4 * n + 4;
    CleanUp();
    if (m_Buffer.GetCapacity() < size + 4) m_Buffer.SetSize(size + 4);
    auto* text = static_cast<wchar_t*>(m_Buffer.SetSize(size));
    CWXMLIndex index;
    bool ascii;
    try {
      ascii = index.WidenAscii(data, n, text);
    } catch (const std::bad_alloc&) {
      ascii = false;
    }
    if (ascii) {
      memset(text + index.m_End, 0, size - index.m_End * sizeof(wchar_t));
      if (index.m_End == 0) return -1;
      try {
        index.Tokenize(data);
      } catch (const std::bad_alloc&) {
        return CWXMLPlainParse(this, text) ? 0 : -1;
      }
      return FastReader(text, index).Parse(this, text) ? 0 : -1;
    }
  }
  CWBlock wide;
  wide.SetSize(4 * n + 4);  // zero-filled: n units and a terminator
  if (data && n) {
    // The converter reads up to a zero byte: give it a terminated copy.
    CWBlock source;
    auto* bytes = static_cast<char*>(source.SetSize(n + 1));
    memcpy(bytes, data, n);
    MultiByteToWideChar(0, 0, bytes, length, static_cast<wchar_t*>(wide.GetBuffer()), length);
  }
  return LoadWide(static_cast<unsigned char*>(wide.GetBuffer()), wide.GetSize());
}
