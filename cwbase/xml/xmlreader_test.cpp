#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/random.h"
#include "testing/scopes.h"
#include "testing/xmltree.h"

namespace {

const struct {
  const char* text;
  bool read;  // the load returns 0, not -1
  const wchar_t* tree;
} kReadCases[] = {
    // content, children, trimming
    {"<a><b>  t  </b><c/></a>", true, L"a\"\"{b\"t\" c}"},
    {"<a>one<b/>two</a>", true, L"a\"two\"{b}"},
    {"<a>\t\r\n x  y \n</a>", true, L"a\"x  y\""},
    {"<a> \t\r\n</a>", true, L"a\"\""},
    {"<a/>", true, L"a"},
    {"junk<a>v</a>tail<b/>", true, L"a\"v\""},
    // nesting: same name, name prefixes, instructions inside elements
    {"<a><a><a/></a><a>y</a></a>", true, L"a\"\"{a\"\"{a} a\"y\"}"},
    {"<log><logging>x</logging></log>", true, L"log\"\"{logging\"x\"}"},
    {"<a><?pi x?><b/></a>", true, L"a\"\"{b}"},
    {"<a><a x=1/></a>", false, L"a"},
    // attributes: quotes counted, bare values, odd separators
    {"<a t=\"x >y\">v</a>", true, L"a[t=x >y]\"v\""},
    {"<a x=1  y=2/>", true, L"a[x=1| y=2]"},
    {"<a t='x y'/>", true, L"a[t='x]"},
    {"<a x y=1 z/>", true, L"a[x y=1]"},
    {"<a t=\"q\"u=1 e= =v/>", true, L"a[t=q|u=1|e=|=v]"},
    {"<a t=\"open/>", false, L"#"},
    {"<a t=&amp;>&lt;x&gt;</a>", true, L"a[t=&amp;]\"&lt;x&gt;\""},
    // declarations and other markup
    {"<?xml version=\"1.0\"?>\r\n<a x=1/>", true, L"a[x=1]"},
    {"<?xml version=\"1.0\"?>", false, L"?xml version=\"1.0\"?"},
    {"<!-- c --><a/>", false, L"!--"},
    {"<a><b/><!-- c --><d/></a>", true, L"a{b}"},
    {"<a\nx=\"1\">v</a>", false, L"a\nx=\"1\""},
    // failures
    {"no tags", false, L"#"},
    {"<a x=1", false, L"#"},
    {"<a x=1>v", false, L"a[x=1]"},
    {"<a>v</a >", false, L"a"},
    {"<r><a>1</a><b</r>", true, L"r{a\"1\"}"},
    {"<r><a>1</a><b>2</r>", true, L"r{a\"1\"}"},
    {"<>x</>", true, L"\"x\""},
    {"< x=1>v", false, L"[x=1]"},
};

TEST(XmlReader, TreesFromBothForms) {
  for (const auto& c : kReadCases) {
    CWXMLDocument wide, ascii;
    const int result = c.read ? 0 : -1;
    EXPECT_EQ(result, XmlLoadWide(wide, XmlWiden(c.text))) << c.text;
    EXPECT_EQ(result, XmlLoadAscii(ascii, c.text)) << c.text;
    EXPECT_EQ(c.tree, XmlDump(wide)) << c.text;
    EXPECT_EQ(c.tree, XmlDump(ascii)) << c.text;
  }
  wchar_t text[] = L"x<a>1</a><b/>rest";
  CWXMLNode node;
  EXPECT_STREQ(L"<b/>rest", node.Parse(text));  // the position after the element
  EXPECT_EQ(nullptr, node.Parse(nullptr));
}

TEST(XmlReader, BorrowedStringsReloadAndEdits) {
  CWXMLDocument doc;
  const std::string text = "<first a=1><x>1</x><y/></first>";
  ASSERT_EQ(0, XmlLoadAscii(doc, text));
  const size_t units = text.size() + 1;  // the 8-bit form hands over n units and a zero
  EXPECT_EQ(units * sizeof(wchar_t), doc.m_Buffer.GetSize());
  auto* lo = static_cast<wchar_t*>(doc.m_Buffer.GetBuffer());
  auto* prop = static_cast<CWXMLProp*>(doc.m_Props.GetAt(0));
  for (wchar_t* s : {doc.m_pName, doc.m_pValue, prop->m_pValue, doc.GetChildAt(0)->m_pValue})
    EXPECT_TRUE(s >= lo && s < lo + units);
  EXPECT_EQ(0, doc.m_bOwnName + doc.m_bOwnValue);
  // Mix owned strings into the borrowed tree, then load over it: the old
  // strings go with it (leaks and bad frees show under AddressSanitizer).
  doc.GetChildAt(0)->SetValue(L"owned");
  doc.SetPropertyValue(L"a", L"2");
  doc.SetPropertyValue(L"b", 3L);
  doc.AddChildNode(L"z")->SetValueA("new");
  EXPECT_EQ(L"first[a=2|b=3]\"\"{x\"owned\" y z\"new\"}", XmlDump(doc));
  ASSERT_EQ(0, XmlLoadWide(doc, L"<second>v</second>"));
  EXPECT_EQ(L"second\"v\"", XmlDump(doc));
  doc.SetName(L"edited");  // destroyed mixed at the end of the test
}

TEST(XmlReader, RejectedInputs) {
  CWXMLDocument doc;
  unsigned char byte = '<';
  ASSERT_EQ(0, XmlLoadAscii(doc, "<a>v</a>"));
  EXPECT_EQ(-1, doc.LoadFromStreamAscii(&byte, -1));
  EXPECT_EQ(L"a\"v\"", XmlDump(doc));  // a negative length changes nothing
  EXPECT_EQ(-1, doc.LoadFromStream(nullptr, 40));
  EXPECT_EQ(L"#", XmlDump(doc));  // the tree never outlives its text
  EXPECT_EQ(-1, doc.LoadFromStreamAscii(&byte, 0));
  EXPECT_EQ(-1, doc.LoadFromStreamAscii(nullptr, 3));
  EXPECT_EQ(-1, XmlLoadAscii(doc, std::string("\0<a/>", 5)));
  EXPECT_EQ(0, XmlLoadAscii(doc, std::string("<a/>\0<b/>", 9)));  // a zero byte ends the text
  EXPECT_EQ(L"a", XmlDump(doc));
  // A byte count that is not whole units still ends in a zero unit.
  std::wstring text = L"<a>v</a>";
  for (int extra = 1; extra < 4; ++extra) {
    std::vector<unsigned char> bytes(text.size() * 4 + extra, 0x41);
    std::memcpy(bytes.data(), text.data(), text.size() * 4);
    EXPECT_EQ(0, doc.LoadFromStream(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(bytes.size(), doc.m_Buffer.GetSize());
  }
  // Loading from a range inside the document's own buffer.
  doc.m_Buffer.SetBuffer(&text[0], text.size() * 4);
  EXPECT_EQ(0, doc.LoadFromStream(static_cast<unsigned char*>(doc.m_Buffer.GetBuffer()),
                                  static_cast<int>(text.size() * 4)));
  EXPECT_EQ(L"a\"v\"", XmlDump(doc));
}

std::string Nested(int levels, const char* inner) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<a>", close += "</a>";
  return open + inner + close;
}

CWXMLNode* Deepest(CWXMLNode* n, int& depth) {
  for (depth = 1; n->GetChildAt(0); ++depth) n = n->GetChildAt(0);
  return n;
}

TEST(XmlReader, NestingIsLimited) {
  CWXMLDocument doc;
  int depth = 0;
  ASSERT_EQ(0, XmlLoadAscii(doc, Nested(CWXML_MAX_DEPTH, "x")));
  EXPECT_STREQ(L"x", Deepest(&doc, depth)->GetValue());
  EXPECT_EQ(CWXML_MAX_DEPTH, depth);
  // Deeper: the deepest element allowed loses its child and its value. The
  // tree can be copied, written and destroyed without exhausting the stack.
  ASSERT_EQ(0, XmlLoadAscii(doc, Nested(2000, "")));
  EXPECT_EQ(nullptr, Deepest(&doc, depth)->GetValue());
  EXPECT_EQ(CWXML_MAX_DEPTH, depth);
  CWXMLNode copy;
  copy = doc;
  Deepest(&copy, depth);
  EXPECT_EQ(CWXML_MAX_DEPTH, depth);
  CWBlock out, flat;
  doc.SaveToXMLStreamAscii(out, 0);
  EXPECT_GT(out.GetSize(), 1000000u);           // one tab per level on every line
  doc.SaveToXMLStream(flat, -CWXML_MAX_DEPTH);  // no indentation at any level
  // declaration, "<a>" and "</a>" lines per level, the childless last "<a/>"
  EXPECT_EQ((23u + 11u * (CWXML_MAX_DEPTH - 1) + 6) * sizeof(wchar_t), flat.GetSize());
}

// Random markup-heavy inputs: loads, copies and writes must stay inside their
// buffers (the sanitizers check), both forms must agree, and a successful
// load leaves a named root.
TEST(XmlReader, SurvivesArbitraryInput) {
  const char alphabet[] = {'<', '>', '/', '"', '=', ' ', '?', 'a', 'b', '\t', '\n'};
  CWTestRandom random(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random.Below(48), ' ');
    for (char& ch : text) ch = random.Pick(alphabet);
    CWXMLDocument doc, wide;
    int result = XmlLoadAscii(doc, text);
    EXPECT_TRUE(result != 0 || doc.GetName()) << text;
    EXPECT_EQ(result, XmlLoadWide(wide, XmlWiden(text))) << text;
    CWXMLNode copy;
    copy = doc;
    EXPECT_EQ(XmlDump(wide), XmlDump(copy)) << text;
    CWBlock out;
    doc.SaveToXMLStream(out, 0);
    doc.SaveToXMLStreamAscii(out, -1);
  }
}

// The exact loads record their outcome for GetLastError: no root in a text
// without characters, "not read" for a root the exact rules cannot read.
TEST(XmlReader, ExactLoadsRecordTheirOutcome) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  const struct {
    const char* text;
    int length;  // -1: the text's own length
    int result, code;
  } cases[] = {
      {"<a>x</a>", -1, 0, CWXML_ERROR_NONE},     {nullptr, 4, -1, CWXML_ERROR_NO_ROOT},
      {"<a/>", 0, -1, CWXML_ERROR_NO_ROOT},      {"<a/>", -5, -1, CWXML_ERROR_NO_ROOT},
      {"\xff<a/>", -1, -1, CWXML_ERROR_NO_ROOT},  // nothing before the invalid byte
      {"   ", -1, -1, CWXML_ERROR_NOT_READ},     {"<a><b/>", -1, -1, CWXML_ERROR_NOT_READ},
      {"<a", -1, -1, CWXML_ERROR_NOT_READ},
  };
  CWXMLDocument doc;
  for (const auto& c : cases) {
    const int n = c.length == -1 ? static_cast<int>(strlen(c.text)) : c.length;
    auto* bytes = reinterpret_cast<unsigned char*>(const_cast<char*>(c.text));
    EXPECT_EQ(c.result, doc.LoadFromStreamAscii(bytes, n)) << (c.text ? c.text : "null");
    EXPECT_EQ(c.code, doc.GetLastError().code) << (c.text ? c.text : "null");
  }
  // The wide load records the same way.
  EXPECT_EQ(-1, XmlLoadWide(doc, L"<a><b/>"));
  EXPECT_EQ(CWXML_ERROR_NOT_READ, doc.GetLastError().code);
  EXPECT_EQ(-1, XmlLoadWide(doc, L""));
  EXPECT_EQ(CWXML_ERROR_NO_ROOT, doc.GetLastError().code);
  // A failed standard load is forgotten by the next exact load.
  EXPECT_EQ(-1, doc.LoadXML(reinterpret_cast<const unsigned char*>("<a>"), 3));
  EXPECT_NE(CWXML_ERROR_NONE, doc.GetLastError().code);
  EXPECT_EQ(0, XmlLoadAscii(doc, "<a/>"));
  EXPECT_EQ(CWXML_ERROR_NONE, doc.GetLastError().code);
}

}  // namespace
