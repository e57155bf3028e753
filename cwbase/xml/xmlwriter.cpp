// The XML writer: appends a tree as text with tab indentation and CR LF line
// ends, in wide form (4-byte units) or 8-bit form (one byte per character).
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "cwbase/text/encoding.h"
#include "cwbase/xml/xmlnode.h"

namespace {

const wchar_t kDeclaration[] = L"<?xml version=\"1.0\"?>\r\n";
constexpr unsigned long kDeclarationLength = 23;

// Where the wide text goes: the caller's block, one AddData per piece (so the
// block grows by its own policy), or a string that the 8-bit form converts.
struct BlockSink {
  CWBlock& block;
  void Put(const wchar_t* text, size_t units) {
    block.AddData(const_cast<wchar_t*>(text), static_cast<unsigned long>(units * sizeof(wchar_t)));
  }
};

struct StringSink {
  std::wstring& text;
  void Put(const wchar_t* piece, size_t units) { text.append(piece, units); }
};

template <typename Sink>
void Put(Sink& out, const wchar_t* text) {
  out.Put(text, wcslen(text));
}

template <typename Sink>
void Tabs(Sink& out, long depth) {
  for (long i = 0; i < depth; ++i) out.Put(L"\t", 1);
}

// Writes one element and its subtree; allocation failures propagate so the
// whole write stops where it failed.
template <typename Sink>
void WriteElement(CWXMLNode& node, Sink& out, long depth) {
  if (!node.m_pName) return;
  Tabs(out, depth);
  out.Put(L"<", 1);
  Put(out, node.m_pName);
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* prop = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    out.Put(L" ", 1);
    Put(out, prop->m_pName);
    out.Put(L"=", 1);
    bool quote = wcschr(prop->m_pValue, L' ') != nullptr;
    if (quote) out.Put(L"\"", 1);
    Put(out, prop->m_pValue);
    if (quote) out.Put(L"\"", 1);
  }
  const wchar_t* value = node.m_pValue;
  int children = node.m_Children.GetSize();
  if (!value && children == 0) {
    out.Put(L"/>\r\n", 4);
    return;
  }
  out.Put(L">", 1);
  if (value && *value) {
    size_t length = wcslen(value);
    if (length > 32) {
      out.Put(L"\r\n", 2);
      Tabs(out, depth + 1);
      out.Put(value, length);
      out.Put(L"\r\n", 2);
      Tabs(out, depth);
    } else {
      out.Put(value, length);
    }
  } else if (children > 0) {
    out.Put(L"\r\n", 2);
    for (int i = 0; i < children; ++i)
      if (auto* child = static_cast<CWXMLNode*>(node.m_Children.GetAt(i)))
        WriteElement(*child, out, depth + 1);
    Tabs(out, depth);
  }
  out.Put(L"</", 2);
  Put(out, node.m_pName);
  out.Put(L">\r\n", 3);
}

}  // namespace

int CWXMLNode::SaveToXMLStream(CWBlock& block, long depth) {
  try {
    BlockSink out{block};
    WriteElement(*this, out, depth);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int CWXMLNode::SaveToXMLStreamAscii(CWBlock& block, long depth) {
  if (!m_pName) return 0;
  try {
    // The whole wide text first (in a string: it grows geometrically, where a
    // block's fixed spare room would make deep or large trees quadratic).
    std::wstring wide;
    StringSink sink{wide};
    try {
      WriteElement(*this, sink, depth);
    } catch (const std::exception&) {
      // convert what was written, as the wide form keeps what it appended
    }
    unsigned long n = static_cast<unsigned long>(wide.size());
    if (n == 0) return 0;
    unsigned long m = block.GetSize();
    // One byte per character; bytes the conversion leaves unwritten are zero.
    auto* out = static_cast<char*>(block.SetSize(m + n)) + m;
    memset(out, 0, n);
    int usedDefault = 0;
    WideCharToMultiByte(0, 0, wide.c_str(), static_cast<int>(n), out, static_cast<int>(n), "",
                        &usedDefault);
  } catch (const std::exception&) {
  }
  return 0;
}

int CWXMLDocument::SaveToXMLStream(CWBlock& block, long depth) {
  BlockSink{block}.Put(kDeclaration, kDeclarationLength);
  return CWXMLNode::SaveToXMLStream(block, depth);
}

int CWXMLDocument::SaveToXMLStreamAscii(CWBlock& block, long depth) {
  block.AddData(const_cast<char*>("<?xml version=\"1.0\"?>\r\n"), kDeclarationLength);
  return CWXMLNode::SaveToXMLStreamAscii(block, depth);
}
