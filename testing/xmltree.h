// Helpers shared by the XML tests: a one-line dump of a tree and loaders that
// take string literals.
#pragma once

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

// Plain ASCII text widened unit by unit.
inline std::wstring XmlWiden(const std::string& s) {
  return std::wstring(s.begin(), s.end());
}
