// Helpers shared by the XML tests and the XML fuzzer (header only, so the
// fuzzer needs no test library): a one-line dump of a tree, the tree as
// buffer offsets, and loaders that take string literals.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"

// name[attr=value|attr=value]"value"{child child}; a null value shows no
// quotes, a null name or attribute string shows as #.
inline std::wstring XmlDump(CWXMLNode& node) {
  auto str = [](const wchar_t* s) { return std::wstring(s ? s : L"#"); };
  std::wstring s = str(node.m_pName);
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    s += (i ? L"|" : L"[") + str(p->m_pName) + L"=" + str(p->m_pValue);
  }
  if (node.m_Props.GetSize()) s += L"]";
  if (node.m_pValue) s += L"\"" + std::wstring(node.m_pValue) + L"\"";
  for (int i = 0; i < node.GetChildCount(); ++i) {
    CWXMLNode* c = node.GetChildAt(i);
    s += (i ? L" " : L"{") + (c ? XmlDump(*c) : L"(null)");
  }
  if (node.GetChildCount()) s += L"}";
  return s;
}

// Where a string of a tree points: its offset from `base` in units, or -1
// for null.
inline long XmlOffset(const wchar_t* s, const wchar_t* base) {
  return s ? static_cast<long>(s - base) : -1;
}

// The tree as numbers, children and attributes in document order: for each
// node the offsets of its name and value from `base`, its own-flags and the
// sizes and capacities of its arrays, then the offsets and own-flags of its
// attributes. Two trees read from equal buffers by equal rules give equal
// shapes.
inline void XmlShape(CWXMLNode& n, const wchar_t* base, std::vector<long>& out) {
  out.insert(out.end(), {XmlOffset(n.m_pName, base), XmlOffset(n.m_pValue, base), n.m_bOwnName,
                         n.m_bOwnValue, n.m_Props.GetSize(), n.m_Props.GetCapacity(),
                         n.GetChildCount(), n.m_Children.GetCapacity()});
  for (int i = 0; i < n.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(n.m_Props.GetAt(i));
    out.insert(out.end(), {XmlOffset(p->m_pName, base), XmlOffset(p->m_pValue, base), p->m_bOwnName,
                           p->m_bOwnValue});
  }
  for (int i = 0; i < n.GetChildCount(); ++i) XmlShape(*n.GetChildAt(i), base, out);
}

inline std::vector<long> XmlShape(CWXMLNode& n, const wchar_t* base) {
  std::vector<long> out;
  XmlShape(n, base, out);
  return out;
}

// A document's tree as XmlShape, offsets from the start of its buffer.
inline std::vector<long> XmlShape(CWXMLDocument& doc) {
  return XmlShape(doc, static_cast<const wchar_t*>(doc.m_Buffer.GetBuffer()));
}

// Both loaders hand over a heap copy of exactly the text's bytes, so a read
// past the end shows under AddressSanitizer.
inline int XmlLoadWide(CWXMLDocument& doc, const std::wstring& text) {
  std::vector<unsigned char> bytes(text.size() * sizeof(wchar_t));
  if (!bytes.empty()) std::memcpy(bytes.data(), text.data(), bytes.size());
  return doc.LoadFromStream(bytes.data(), static_cast<int>(bytes.size()));
}

inline int XmlLoadAscii(CWXMLDocument& doc, const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  return doc.LoadFromStreamAscii(bytes.data(), static_cast<int>(bytes.size()));
}

inline std::wstring XmlWideText(CWBlock& block) {
  return std::wstring(static_cast<wchar_t*>(block.GetBuffer()), block.GetSize() / sizeof(wchar_t));
}

inline std::string XmlAsciiText(CWBlock& block) {
  return std::string(static_cast<char*>(block.GetBuffer()), block.GetSize());
}

// Appends the UTF-8 form of the code point `c`.
inline void XmlAppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A wide string of the tree as UTF-8, the form the reference readers of the
// differential tests give; null reads as empty.
inline std::string XmlUtf8(const wchar_t* s) {
  std::string out;
  for (; s && *s; ++s) XmlAppendUtf8(out, static_cast<uint32_t>(*s));
  return out;
}

// Plain ASCII text widened unit by unit.
inline std::wstring XmlWiden(const std::string& s) {
  return std::wstring(s.begin(), s.end());
}
