// The XML reader: an in-place scanner that cuts the document's own copy of the
// text into names and values and builds the tree from borrowed pointers.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>

#include "cwbase/text/encoding.h"
#include "cwbase/xml/xmlnode.h"

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

// The "<" of the end tag "</name>" that closes an element whose content starts
// at `content`, skipping nested elements of the same name. Null when missing.
// Every occurrence of the name is looked at, in one pass up to the
// terminator. `content` is at least two units past the start of the text (it
// follows "<" and ">"), so looking two units back stays inside the text.
wchar_t* FindEndTag(wchar_t* content, const wchar_t* name) {
  size_t len = wcslen(name);
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

// Reads one element into `node`; `level` is its nesting level (1 for the
// element the caller's Parse starts on).
wchar_t* ParseElement(CWXMLNode* node, wchar_t* text, int level) {
  if (!text || !*text) return nullptr;
  node->CleanUp();

  // Find the element's start tag, passing over "<?...?>" tags.
  wchar_t* result = nullptr;
  bool hasContent = true;
  wchar_t* tag;
  wchar_t* content = text;
  for (;;) {
    wchar_t* open = wcschr(content, L'<');
    if (!open) return nullptr;
    tag = open + 1;
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

  if (hasContent) {
    wchar_t* endTag = FindEndTag(content, node->m_pName);
    if (endTag) {
      *endTag = 0;
      node->m_pValue = content;
      result = endTag + 2 + wcslen(node->m_pName) + 1;
    }
  }

  // Children, each read from what remains of this element's content.
  try {
    while (node->m_pValue && wcschr(node->m_pValue, L'<')) {
      if (level >= CWXML_MAX_DEPTH) {
        node->m_pValue = nullptr;  // too deep: fails like a child without end tag
        break;
      }
      CWXMLNode* child = new CWXMLNode(node);
      node->m_pValue = ParseElement(child, node->m_pValue, level + 1);
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

  // Text: trim white space on both sides.
  wchar_t* value = node->m_pValue;
  if (value && *value) {
    while (IsTrimmed(*value)) ++value;
    wchar_t* end = value + wcslen(value);
    while (end > value && IsTrimmed(end[-1])) *--end = 0;
    node->m_pValue = value;
  }
  return result;
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
  return ParseElement(this, text, 1);
}

int CWXMLDocument::LoadWide(unsigned char* data, unsigned long size) {
  // Loading from our own buffer: copy the bytes aside before resizing it.
  auto* base = static_cast<unsigned char*>(m_Buffer.GetBuffer());
  uintptr_t at = reinterpret_cast<uintptr_t>(data), lo = reinterpret_cast<uintptr_t>(base);
  if (data && base && at >= lo && at < lo + m_Buffer.GetCapacity()) {
    CWBlock aside(data, size);
    return LoadWide(static_cast<unsigned char*>(aside.GetBuffer()), size);
  }
  // The tree's borrowed strings die with the old text: empty it first.
  CleanUp();
  // Whole units plus one zero unit, so even a partial last unit is followed
  // by a terminator.
  m_Buffer.SetSize((size + 3) / 4 * 4 + sizeof(wchar_t));
  m_Buffer.Zero();
  if (!m_Buffer.SetBuffer(data, size)) return -1;
  return Parse(static_cast<wchar_t*>(m_Buffer.GetBuffer())) ? 0 : -1;
}

int CWXMLDocument::LoadFromStream(unsigned char* data, int length) {
  if (length < 0) return -1;
  return LoadWide(data, static_cast<unsigned long>(length));
}

int CWXMLDocument::LoadFromStreamAscii(unsigned char* data, int length) {
  if (length < 0) return -1;
  unsigned long n = static_cast<unsigned long>(length);
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
