// Test aids for the standard XML mode: a load of exactly the given bytes, the
// tree it reads as a dump, and the check of a table of malformed texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

// LoadXML on a copy of exactly the bytes of `text`, so a read past them shows
// under ASan.
inline int XmlLoadStandard(CWXMLDocument& doc, const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  return doc.LoadXML(bytes.data(), static_cast<long>(bytes.size()));
}

// The tree LoadXML reads from `text` as XmlDump gives it, or "error N".
inline std::wstring XmlReadStandard(const std::string& text) {
  CWXMLDocument doc;
  if (XmlLoadStandard(doc, text) != 0) return L"error " + std::to_wstring(doc.GetLastError().code);
  return XmlDump(doc);
}

// A malformed text and the fault LoadXML must report for it.
struct XmlFault {
  std::string text;
  int code;
  long offset;
  int line, column;
};

// Each text must give -1 and an empty tree (nothing partial), and
// GetLastError the row's code, offset, line and column, with a message.
inline void ExpectXmlFaults(const std::vector<XmlFault>& rows) {
  for (const XmlFault& row : rows) {
    CWXMLDocument doc;
    EXPECT_EQ(-1, XmlLoadStandard(doc, row.text)) << row.text;
    const CWXMLError& e = doc.GetLastError();
    EXPECT_EQ(row.code, e.code) << row.text;
    EXPECT_EQ(row.offset, e.offset) << row.text;
    EXPECT_EQ(row.line, e.line) << row.text;
    EXPECT_EQ(row.column, e.column) << row.text;
    EXPECT_NE(nullptr, e.message) << row.text;
    EXPECT_EQ(nullptr, doc.GetName()) << row.text;
    EXPECT_EQ(0, doc.GetChildCount() + doc.m_Props.GetSize()) << row.text;
  }
}
