// The reference XML reader: the reading rules applied literally, with no
// index and no shortcut. See reader_reference.h.
#include "cwbase/xml/internal/reader_reference.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "cwbase/text/encoding.h"

namespace cwbase_internal {

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

wchar_t* ParseElement(CWXMLNode* node, wchar_t* text, int level);

// The element's start tag, passing over "<?...?>" tags: the node is named
// after the tag text, a self-closing tag loses its "/". Returns the content
// position after the tag's ">", or null when no tag is found or the text
// ends inside one.
wchar_t* StartTag(CWXMLNode* node, wchar_t* text, bool& selfClosing) {
  wchar_t* content = text;
  for (;;) {
    wchar_t* open = wcschr(content, L'<');
    if (!open) return nullptr;
    wchar_t* tag = open + 1;
    wchar_t* close = FindTagEnd(tag);
    if (!close) return nullptr;
    *close = 0;
    node->m_pName = tag;
    content = close + 1;
    if (tag[0] == L'?') continue;
    selfClosing = close > tag && close[-1] == L'/';
    if (selfClosing) close[-1] = 0;
    return content;
  }
}

// The children, each read from what remains of the value. False when a child
// read could not be kept: reading stops there and the value is left as is.
bool ReadChildren(CWXMLNode* node, int level) {
  while (node->m_pValue && wcschr(node->m_pValue, L'<')) {
    if (level >= CWXML_MAX_DEPTH) {
      node->m_pValue = nullptr;  // too deep: fails like a child without end tag
      return true;
    }
    std::unique_ptr<CWXMLNode> child(new CWXMLNode(node));
    node->m_pValue = ParseElement(child.get(), node->m_pValue, level + 1);
    if (!node->m_pValue) return true;  // the child goes, and so does the rest
    if (!node->m_Children.Add(child.get())) return false;
    static_cast<void>(child.release());  // the node owns it now
  }
  return true;
}

// Trims tabs, line feeds, carriage returns and spaces off both ends of the
// value; the trailing ones are overwritten with zeros.
void TrimValue(CWXMLNode* node) {
  wchar_t* value = node->m_pValue;
  if (!value || !*value) return;
  while (IsTrimmed(*value)) ++value;
  wchar_t* end = value + wcslen(value);
  while (end > value && IsTrimmed(end[-1])) *--end = 0;
  node->m_pValue = value;
}

// Reads one element into `node`; `level` is its nesting level (1 for the
// element the caller's Parse starts on).
wchar_t* ParseElement(CWXMLNode* node, wchar_t* text, int level) {
  if (!text || !*text) return nullptr;
  node->CleanUp();
  bool selfClosing = false;
  wchar_t* content = StartTag(node, text, selfClosing);
  if (!content) return nullptr;
  node->ExtractPropsFromName(node->m_pName);

  wchar_t* result = selfClosing ? content : nullptr;
  if (!selfClosing) {
    if (wchar_t* endTag = FindEndTag(content, node->m_pName)) {
      *endTag = 0;
      node->m_pValue = content;
      result = endTag + 2 + wcslen(node->m_pName) + 1;
    }
  }
  try {
    if (!ReadChildren(node, level)) return result;
  } catch (const std::bad_alloc&) {
    return result;
  }
  TrimValue(node);
  return result;
}

int LoadWide(CWXMLDocument& doc, unsigned char* data, unsigned long size) {
  // Loading from the document's own buffer: copy the bytes aside first.
  auto* base = static_cast<unsigned char*>(doc.m_Buffer.GetBuffer());
  uintptr_t at = reinterpret_cast<uintptr_t>(data), lo = reinterpret_cast<uintptr_t>(base);
  if (data && base && at >= lo && at < lo + doc.m_Buffer.GetCapacity()) {
    CWBlock aside(data, size);
    return LoadWide(doc, static_cast<unsigned char*>(aside.GetBuffer()), size);
  }
  doc.CleanUp();
  doc.m_Buffer.SetSize((size + 3) / 4 * 4 + sizeof(wchar_t));
  doc.m_Buffer.Zero();
  if (!doc.m_Buffer.SetBuffer(data, size)) return -1;
  return ParseElement(&doc, static_cast<wchar_t*>(doc.m_Buffer.GetBuffer()), 1) ? 0 : -1;
}

}  // namespace

wchar_t* ReferenceXmlParse(CWXMLNode* node, wchar_t* text) {
  return ParseElement(node, text, 1);
}

void ReferenceXmlConvert(CWBlock& wide, unsigned char* data, int length) {
  const auto n = static_cast<unsigned long>(length);
  wide.SetSize(4 * n + 4);  // zero-filled: n units and a terminator
  if (!data || n == 0) return;
  // The converter reads up to a zero byte: give it a terminated copy.
  CWBlock source;
  auto* bytes = static_cast<char*>(source.SetSize(n + 1));
  memcpy(bytes, data, n);
  MultiByteToWideChar(0, 0, bytes, length, static_cast<wchar_t*>(wide.GetBuffer()), length);
}

int ReferenceXmlLoad(CWXMLDocument& doc, unsigned char* data, int length, bool ascii) {
  if (length < 0) return -1;
  if (!ascii) return LoadWide(doc, data, static_cast<unsigned long>(length));
  CWBlock wide;
  ReferenceXmlConvert(wide, data, length);
  return LoadWide(doc, static_cast<unsigned char*>(wide.GetBuffer()), wide.GetSize());
}

}  // namespace cwbase_internal
