#include <gtest/gtest.h>

#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

namespace {

CWXMLProp* PropAt(CWXMLNode& n, int i) {
  return static_cast<CWXMLProp*>(n.m_Props.GetAt(i));
}

TEST(XmlNode, Properties) {
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadAscii(doc, "<a k=1 k=2 n=12ab m=-5 e= s=\" 7\" x=abc/>"));
  EXPECT_STREQ(L"2", doc.GetPropertyValue(L"k"));  // the last one wins
  EXPECT_EQ(1, doc.IsPropertyEquals(L"k", L"1"));
  EXPECT_EQ(1, doc.IsPropertyEquals(L"k", L"2"));
  EXPECT_EQ(0, doc.IsPropertyEquals(L"k", L"3") + doc.IsPropertyEquals(nullptr, L"1"));
  doc.SetPropertyValue(L"k", L"9");  // the first one changes, its borrowed name stays
  EXPECT_STREQ(L"9", PropAt(doc, 0)->m_pValue);
  EXPECT_STREQ(L"2", PropAt(doc, 1)->m_pValue);
  EXPECT_EQ(1, PropAt(doc, 0)->m_bOwnValue - PropAt(doc, 0)->m_bOwnName);
  const struct {
    const wchar_t* name;
    long value;
  } numbers[] = {{L"n", 12}, {L"m", -5}, {L"e", 0}, {L"s", 7}, {L"x", 0}, {L"no", 0}, {nullptr, 0}};
  for (auto& c : numbers) EXPECT_EQ(c.value, doc.GetPropertyValueLong(c.name)) << c.value;

  const struct {
    const wchar_t* given;
    const wchar_t* stored;
  } quoted[] = {{L"\"x y\"", L"x y"},
                {L"\"", L""},
                {L"\"abc", L""},
                {L"\"ab\"cd", L"ab"},
                {L"\"a\"b\"", L"a\"b"},
                {L"p \"q\"", L"p \"q\""},
                {L"", L""}};
  for (auto& c : quoted) {
    CWXMLNode n;
    n.SetPropertyValue(L"p", c.given);
    n.SetPropertyValue(nullptr, L"v");
    n.SetPropertyValue(L"p", nullptr);
    EXPECT_STREQ(c.stored, n.GetPropertyValue(L"p")) << c.given;
    EXPECT_EQ(1, n.m_Props.GetSize());
  }
}

TEST(XmlNode, Setters) {
  CWXMLNode n;
  n.SetValue(L"keep");
  n.SetValue(static_cast<const wchar_t*>(nullptr));
  n.SetValueA(nullptr);
  EXPECT_STREQ(L"keep", n.GetValue());
  n.SetName(L"");  // an owned empty string is not null
  EXPECT_STREQ(L"", n.GetName());
  n.SetValueA("8-bit");
  EXPECT_STREQ(L"8-bit", n.GetValue());
  EXPECT_EQ(2, n.m_bOwnName + n.m_bOwnValue);
  const struct {
    long value;
    const wchar_t* text;
  } numbers[] = {{0, L"0"}, {-42, L"-42"}, {2147483647L, L"2147483647"}, {4294967297L, L"1"}};
  for (auto& c : numbers) {
    n.SetValue(c.value);
    n.SetPropertyValue(L"v", c.value);
    EXPECT_STREQ(c.text, n.GetValue());
    EXPECT_STREQ(c.text, n.GetPropertyValue(L"v"));
  }
  CWXMLProp p;
  p.SetName(L"n");
  EXPECT_EQ(0, p.IsValid());
  p.SetValue(L"");
  EXPECT_EQ(1, p.IsValid());
}

TEST(XmlNode, ChildrenAndCleanUp) {
  CWXMLNode parent, n(&parent);
  EXPECT_EQ(nullptr, n.AddChildNode(nullptr));
  CWXMLNode* a1 = n.AddChildNode(L"a");
  n.AddChildNode(L"b");
  CWXMLNode* a2 = n.AddChildNode(L"a");
  n.m_Children.Add(nullptr);  // null entries count but are skipped
  ASSERT_EQ(4, n.GetChildCount());
  EXPECT_EQ(&n, a2->m_pParent);
  EXPECT_EQ(a1, n.GetChildNode(L"a"));
  EXPECT_EQ(a2, n.GetChildAt(2));
  EXPECT_EQ(nullptr, n.GetChildAt(-1));
  EXPECT_EQ(nullptr, n.GetChildAt(4));
  EXPECT_EQ(nullptr, n.GetChildNode(nullptr));
  EXPECT_EQ(1, a1->IsNameEquals(L"a"));
  EXPECT_EQ(0, a1->IsNameEquals(L"A") + a1->IsNameEquals(nullptr));
  n.SetName(L"n");
  n.SetValue(L"v");
  n.SetPropertyValue(L"p", L"1");
  n.CleanUp();
  EXPECT_EQ(L"#", XmlDump(n));
  EXPECT_EQ(0, n.m_Props.GetSize() + n.m_bOwnName + n.m_bOwnValue);
  EXPECT_EQ(&parent, n.m_pParent);
}

TEST(XmlNode, DeepCopy) {
  CWXMLNode source;
  source.SetName(L"root");
  source.SetPropertyValue(L"title", L"two words");
  CWXMLNode* a = source.AddChildNode(L"a");
  a->SetValue(L"");
  a->AddChildNode(L"c")->SetPropertyValue(L"k", 3L);
  auto* nameless = new CWXMLNode(&source);  // left out of the copy with its subtree
  nameless->AddChildNode(L"lost");
  source.m_Children.Add(nameless);
  source.m_Children.Add(nullptr);
  source.AddChildNode(L"x");

  CWXMLNode copy;
  copy.AddChildNode(L"old");
  copy = source;
  EXPECT_EQ(L"root[title=two words]{a\"\"{c[k=3]} x}", XmlDump(copy));
  CWXMLNode* c = copy.GetChildAt(0)->GetChildAt(0);
  EXPECT_EQ(copy.GetChildAt(0), c->m_pParent);
  EXPECT_NE(source.GetChildAt(0)->GetChildAt(0), c);

  CWXMLNode& same = copy;
  copy = same;
  EXPECT_EQ(L"root[title=two words]{a\"\"{c[k=3]} x}", XmlDump(copy));
  copy = *copy.GetChildAt(0);  // from its own subtree
  EXPECT_EQ(L"a\"\"{c[k=3]}", XmlDump(copy));
}

TEST(XmlNode, AssigningToADocumentKeepsItsBuffer) {
  CWXMLDocument doc, other;
  ASSERT_EQ(0, XmlLoadAscii(doc, "<doc><x>1</x></doc>"));
  ASSERT_EQ(0, XmlLoadAscii(other, "<other y=2/>"));
  const std::string bytes = XmlAsciiText(doc.m_Buffer);
  doc = other;
  EXPECT_EQ(L"other[y=2]", XmlDump(doc));
  EXPECT_EQ(1, PropAt(doc, 0)->m_bOwnValue);
  CWXMLNode node;
  {
    CWXMLDocument temporary;
    ASSERT_EQ(0, XmlLoadAscii(temporary, "<n k=v><e>1</e></n>"));
    node = temporary;  // owns its strings: outlives the document's buffer
  }
  doc = node;
  EXPECT_EQ(L"n[k=v]\"\"{e\"1\"}", XmlDump(doc));
  EXPECT_EQ(bytes, XmlAsciiText(doc.m_Buffer));
}

}  // namespace
