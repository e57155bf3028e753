#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/scopes.h"
#include "testing/xmltree.h"

namespace {

const std::string kDecl = "<?xml version=\"1.0\"?>\r\n";
const std::wstring k32(32, L'v'), k33(33, L'v');
const std::string s32(32, 'v'), s33(33, 'v');

// Builds a node named a with the given value.
std::function<void(CWXMLNode&)> Valued(const wchar_t* value) {
  return [value](CWXMLNode& n) { n.SetName(L"a"), n.SetValue(value); };
}

const struct {
  std::function<void(CWXMLNode&)> build;
  long depth;
  std::string text;
} kWriteCases[] = {
    {[](CWXMLNode& n) { n.SetName(L"r"); }, 0, "<r/>\r\n"},
    {Valued(L""), 1, "\t<a></a>\r\n"},
    {Valued(k32.c_str()), 0, "<a>" + s32 + "</a>\r\n"},
    {Valued(k33.c_str()), 0, "<a>\r\n\t" + s33 + "\r\n</a>\r\n"},
    {Valued(k33.c_str()), 2, "\t\t<a>\r\n\t\t\t" + s33 + "\r\n\t\t</a>\r\n"},
    {Valued(k33.c_str()), -1, "<a>\r\n" + s33 + "\r\n</a>\r\n"},
    {Valued(L"1 < 2 & 3"), 0, "<a>1 < 2 & 3</a>\r\n"},  // nothing is escaped
    {[](CWXMLNode& n) {
       n.SetName(L"a");
       n.SetPropertyValue(L"bare", L"1");
       n.SetPropertyValue(L"spaced", L"p q");
       n.SetPropertyValue(L"empty", L"");
       n.SetPropertyValue(L"q", L"x\"y");
       n.m_Props.Add(new CWXMLProp);  // no name and no value: left out
       n.m_Props.Add(new CWXMLProp);
       static_cast<CWXMLProp*>(n.m_Props.GetAt(5))->SetName(L"half");  // no value
     },
     0, "<a bare=1 spaced=\"p q\" empty= q=x\"y/>\r\n"},
    {[](CWXMLNode& n) { n.SetName(L"a"), n.SetValue(L"v"), n.AddChildNode(L"b"); }, 0,
     "<a>v</a>\r\n"},  // a value hides the children
    {[](CWXMLNode& n) {
       n.SetName(L"a");
       n.AddChildNode(L"b")->SetValue(L"x");
       n.AddChildNode(L"c");
     },
     2, "\t\t<a>\r\n\t\t\t<b>x</b>\r\n\t\t\t<c/>\r\n\t\t</a>\r\n"},
    {[](CWXMLNode& n) { n.SetName(L"a"), n.AddChildNode(L"b")->AddChildNode(L"c"); }, -1,
     "<a>\r\n<b>\r\n\t<c/>\r\n</b>\r\n</a>\r\n"},
    {[](CWXMLNode& n) {
       n.SetName(L"a");
       n.SetValue(L"");
       auto* nameless = new CWXMLNode(&n);  // missing with its subtree
       nameless->AddChildNode(L"hidden");
       n.m_Children.Add(nameless);
       n.m_Children.Add(nullptr);
       n.AddChildNode(L"b");
     },
     0, "<a>\r\n\t<b/>\r\n</a>\r\n"},
    {[](CWXMLNode& n) { n.SetName(L"a"), n.m_Children.Add(nullptr); }, 1, "\t<a>\r\n\t</a>\r\n"},
    {[](CWXMLNode& n) { n.SetValue(L"v"), n.AddChildNode(L"b"); }, 0, ""},  // no name
};

TEST(XmlWriter, ExactLayoutInBothForms) {
  for (const auto& c : kWriteCases) {
    CWXMLDocument doc;
    c.build(doc);
    CWBlock wide, ascii, docWide, docAscii;
    EXPECT_EQ(0, doc.CWXMLNode::SaveToXMLStream(wide, c.depth));
    EXPECT_EQ(0, doc.CWXMLNode::SaveToXMLStreamAscii(ascii, c.depth));
    EXPECT_EQ(0, doc.SaveToXMLStream(docWide, c.depth));
    EXPECT_EQ(0, doc.SaveToXMLStreamAscii(docAscii, c.depth));
    EXPECT_EQ(XmlWiden(c.text), XmlWideText(wide)) << c.text;
    EXPECT_EQ(c.text, XmlAsciiText(ascii));
    EXPECT_EQ(XmlWiden(kDecl + c.text), XmlWideText(docWide));
    EXPECT_EQ(kDecl + c.text, XmlAsciiText(docAscii));
  }
}

TEST(XmlWriter, AppendsAndReservesOneBytePerCharacter) {
  CWXMLDocument a;
  a.SetName(L"a");
  CWBlock out;
  out.AddData(const_cast<char*>("head"), 4);
  a.SaveToXMLStreamAscii(out, 0);
  a.SaveToXMLStreamAscii(out, 0);
  EXPECT_EQ("head" + kDecl + "<a/>\r\n" + kDecl + "<a/>\r\n", XmlAsciiText(out));
}

// A character whose 8-bit form is not exactly one byte (it takes more, or
// the encoding has none) is written as '?': one byte per character, and the
// structure of the document survives.
TEST(XmlWriter, CharactersWithoutAOneByteFormBecomeQuestionMarks) {
  const struct {
    const char* locale;
    const wchar_t* value;
    std::string expected;
  } cases[] = {
      {"C.UTF-8", L"\u20ac\u20ac\u20ac\u20ac", "????"},  // 3 bytes each in UTF-8
      {"C.UTF-8",
       L"a\u00e9b\U0001F600c\xd800"
       L"d",
       "a?b?c?d"},
      {"C", L"x\u00e9y", "x?y"},
      {"en_US.ISO-8859-1", L"\u00e9\u20ac\u00ff", "\xe9?\xff"},
      {"ja_JP.EUC-JP", L"k\u65e5z", "k?z"},  // two bytes in EUC-JP
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    CWTestLocale locale(c.locale);
    if (!locale.Ok()) continue;  // not generated on this machine
    CWXMLDocument a;
    a.SetName(L"a");
    a.SetPropertyValue(L"k", c.value);
    a.SetValue(c.value);
    CWBlock out;
    out.AddData(const_cast<char*>("head"), 4);
    a.CWXMLNode::SaveToXMLStreamAscii(out, 0);
    EXPECT_EQ("head<a k=" + c.expected + ">" + c.expected + "</a>\r\n", XmlAsciiText(out));
  }
}

TEST(XmlWriter, SetterBuiltTreesRoundTripInBothForms) {
  CWXMLNode tree;
  tree.SetName(L"settings");
  tree.SetPropertyValue(L"version", 2L);
  tree.SetPropertyValue(L"label", L"two words here");
  CWXMLNode* server = tree.AddChildNode(L"server");
  server->AddChildNode(L"port")->SetValue(8080L);
  server->AddChildNode(L"motd")->SetValue(L"a value longer than thirty-two characters");
  server->AddChildNode(L"flag");
  server->AddChildNode(L"empty")->SetValue(L"");
  CWXMLNode* list = tree.AddChildNode(L"list");
  for (long i = 0; i < 2; ++i) list->AddChildNode(L"item")->SetPropertyValue(L"n", i);
  list->AddChildNode(L"list")->AddChildNode(L"list")->SetValue(L"deep");
  // Elements with children but no value come back with an empty value.
  const std::wstring expected =
      L"settings[version=2|label=two words here]\"\"{server\"\"{port\"8080\" "
      L"motd\"a value longer than thirty-two characters\" flag empty\"\"} "
      L"list\"\"{item[n=0] item[n=1] list\"\"{list\"deep\"}}}";
  CWBlock wide, ascii;
  tree.SaveToXMLStream(wide, 0);
  tree.SaveToXMLStreamAscii(ascii, 0);
  CWXMLDocument fromWide, fromAscii;
  ASSERT_EQ(0, XmlLoadWide(fromWide, XmlWideText(wide)));
  ASSERT_EQ(0, XmlLoadAscii(fromAscii, XmlAsciiText(ascii)));
  EXPECT_EQ(expected, XmlDump(fromWide));
  EXPECT_EQ(expected, XmlDump(fromAscii));
}

// Real documents: loaded, saved, read back to the same tree; the second save
// gives the same bytes as the first.
TEST(XmlWriter, SampleFilesSurviveSaveAndReload) {
  for (const char* name : {"config.xml", "catalog.xml", "menu.xml"}) {
    std::ifstream in(std::string(CWBASE_SAMPLES_DIR) + "/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CWXMLDocument doc, back;
    ASSERT_EQ(0, XmlLoadAscii(doc, text)) << name;
    CWBlock first, second;
    doc.SaveToXMLStreamAscii(first, 0);
    ASSERT_EQ(0, XmlLoadAscii(back, XmlAsciiText(first))) << name;
    back.SaveToXMLStreamAscii(second, 0);
    EXPECT_EQ(XmlDump(doc), XmlDump(back)) << name;
    EXPECT_EQ(XmlAsciiText(first), XmlAsciiText(second)) << name;
    EXPECT_GE(doc.GetChildCount(), 2) << name;
  }
  CWXMLDocument config;
  std::ifstream in(std::string(CWBASE_SAMPLES_DIR) + "/config.xml", std::ios::binary);
  ASSERT_EQ(0, XmlLoadAscii(config, std::string(std::istreambuf_iterator<char>(in), {})));
  CWXMLNode* server = config.GetChildNode(L"server");
  ASSERT_NE(nullptr, server);
  EXPECT_STREQ(L"Order Service", server->GetPropertyValue(L"name"));
  EXPECT_STREQ(L"8443", server->GetChildNode(L"port")->GetValue());
  EXPECT_EQ(
      60,
      config.GetChildNode(L"database")->GetChildNode(L"pool")->GetPropertyValueLong(L"timeout"));
}

}  // namespace
