// The reference XML writer: one AddData per piece of the layout. See
// writer_reference.h.
#include "cwbase/xml/internal/writer_reference.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "cwbase/text/encoding.h"

namespace cwbase_internal {

namespace {

// Appends the `units` wide characters at `text` as one piece; an empty piece
// appends nothing (AddData refuses it).
void Append(CWBlock& block, const wchar_t* text, size_t units) {
  block.AddData(const_cast<wchar_t*>(text), static_cast<unsigned long>(units * sizeof(wchar_t)));
}

void Append(CWBlock& block, const wchar_t* text) {
  Append(block, text, wcslen(text));
}

// One tab per level, each its own piece; none for a depth of 0 or below.
void Indent(CWBlock& block, long depth) {
  for (long level = 0; level < depth; ++level) Append(block, L"\t");
}

// One element at `depth` and its subtree; allocation failures propagate.
void WriteElement(CWXMLNode& node, CWBlock& block, long depth) {
  if (!node.m_pName) return;
  Indent(block, depth);
  Append(block, L"<");
  Append(block, node.m_pName);
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* prop = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    const bool quoted = wcschr(prop->m_pValue, L' ') != nullptr;
    Append(block, L" ");
    Append(block, prop->m_pName);
    Append(block, L"=");
    if (quoted) Append(block, L"\"");
    Append(block, prop->m_pValue);
    if (quoted) Append(block, L"\"");
  }
  const int children = node.m_Children.GetSize();
  if (!node.m_pValue && children == 0) {
    Append(block, L"/>\r\n");
    return;
  }
  Append(block, L">");
  if (node.m_pValue && *node.m_pValue) {
    // The value alone; children beside it are not written.
    if (wcslen(node.m_pValue) > 32) {
      Append(block, L"\r\n");
      Indent(block, depth + 1);
      Append(block, node.m_pValue);
      Append(block, L"\r\n");
      Indent(block, depth);
    } else {
      Append(block, node.m_pValue);
    }
  } else if (children > 0) {
    Append(block, L"\r\n");
    for (int i = 0; i < children; ++i) {
      if (auto* child = static_cast<CWXMLNode*>(node.m_Children.GetAt(i)))
        WriteElement(*child, block, depth + 1);
    }
    Indent(block, depth);
  }
  Append(block, L"</");
  Append(block, node.m_pName);
  Append(block, L">\r\n");
}

}  // namespace

int ReferenceXmlSave(CWXMLNode& node, CWBlock& block, long depth) {
  try {
    WriteElement(node, block, depth);
  } catch (const std::bad_alloc&) {
    // writing stops here; what was appended stays
  }
  return 0;
}

int ReferenceXmlSaveAscii(CWXMLNode& node, CWBlock& block, long depth) {
  if (!node.m_pName) return 0;
  try {
    CWBlock wide;
    ReferenceXmlSave(node, wide, depth);
    const auto n = static_cast<unsigned long>(wide.GetSize() / sizeof(wchar_t));
    if (n == 0) return 0;  // nothing could be written
    const unsigned long m = block.GetSize();
    auto* out = static_cast<char*>(block.SetSize(m + n)) + m;
    // One byte per character: its form when that is one byte, else '?'.
    const auto* text = static_cast<const wchar_t*>(wide.GetBuffer());
    for (unsigned long i = 0; i < n; ++i) {
      const wchar_t one[2] = {text[i], 0};
      char bytes[64];
      int usedDefault = 0;
      const int len = WideCharToMultiByte(0, 0, one, 1, bytes, static_cast<int>(sizeof(bytes)), "",
                                          &usedDefault);
      out[i] = len == 1 ? bytes[0] : '?';
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int ReferenceXmlSaveDocument(CWXMLDocument& doc, CWBlock& block, long depth, bool ascii) {
  if (ascii) {
    block.AddData(const_cast<char*>("<?xml version=\"1.0\"?>\r\n"), 23);
    return ReferenceXmlSaveAscii(doc, block, depth);
  }
  Append(block, L"<?xml version=\"1.0\"?>\r\n");
  return ReferenceXmlSave(doc, block, depth);
}

}  // namespace cwbase_internal
