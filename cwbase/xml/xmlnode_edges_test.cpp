// Trees that the public arrays allow but the reader never builds: null
// entries (skipped by every walk) and children or attributes of a caller's
// own classes (destroyed through their virtual destructors).
#include <gtest/gtest.h>

#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

namespace {

int g_nodesDestroyed = 0, g_propsDestroyed = 0;

struct CountedNode : CWXMLNode {
  explicit CountedNode(CWXMLNode* parent) : CWXMLNode(parent) {}
  ~CountedNode() override { ++g_nodesDestroyed; }
};

struct CountedProp : CWXMLProp {
  ~CountedProp() override { ++g_propsDestroyed; }
};

std::string Written(CWXMLNode& node) {
  CWBlock out;
  node.SaveToXMLStreamAscii(out);
  return std::string(static_cast<const char*>(out.GetBuffer()), out.GetSize());
}

TEST(XmlNodeEdges, NullEntriesAreSkippedByEveryWalk) {
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadAscii(doc, "<r a=1><c>x</c></r>"));
  doc.m_Children.InsertAt(0, nullptr);
  doc.m_Props.InsertAt(0, nullptr);
  EXPECT_EQ(2, doc.GetChildCount());
  EXPECT_EQ(nullptr, doc.GetChildAt(0));
  EXPECT_STREQ(L"x", doc.GetChildNode(L"c")->GetValue());
  EXPECT_STREQ(L"1", doc.GetPropertyValue(L"a"));
  EXPECT_EQ(1, doc.IsPropertyEquals(L"a", L"1"));
  doc.SetPropertyValue(L"a", L"2");  // changes the first real attribute
  EXPECT_STREQ(L"2", doc.GetPropertyValue(L"a"));
  EXPECT_EQ("<r a=2>\r\n\t<c>x</c>\r\n</r>\r\n", Written(doc));

  CWXMLDocument copy;
  copy = doc;  // null entries are not copied
  EXPECT_EQ(1, copy.GetChildCount());
  EXPECT_EQ(1, copy.m_Props.GetSize());
  EXPECT_EQ(Written(doc), Written(copy));
  // Copying a node from inside its own subtree walks past the null entry too.
  doc = *doc.GetChildNode(L"c");
  EXPECT_EQ(L"c\"x\"", XmlDump(doc));
  doc.m_Children.Add(nullptr);
  doc.CleanUp();  // releases around the null entry
  EXPECT_EQ(0, doc.GetChildCount());
}

TEST(XmlNodeEdges, CallersClassesAreDestroyedThroughTheirDestructors) {
  g_nodesDestroyed = g_propsDestroyed = 0;
  {
    CWXMLDocument doc;
    ASSERT_EQ(0, XmlLoadAscii(doc, "<r><c/></r>"));
    auto* mine = new CountedNode(&doc);
    mine->SetName(L"mine");
    mine->m_Children.Add(new CountedNode(mine));  // nested, nameless
    doc.m_Children.Add(mine);
    auto* prop = new CountedProp;
    prop->SetName(L"p");
    prop->SetValue(L"v");
    doc.m_Props.Add(prop);
    EXPECT_EQ("<r p=v>\r\n\t<c/>\r\n\t<mine>\r\n\t</mine>\r\n</r>\r\n", Written(doc));
    doc.CleanUp();
    EXPECT_EQ(2, g_nodesDestroyed);
    EXPECT_EQ(1, g_propsDestroyed);
    doc.m_Children.Add(new CountedNode(&doc));
    doc.m_Props.Add(new CountedProp);
  }  // and through the document's own destruction
  EXPECT_EQ(3, g_nodesDestroyed);
  EXPECT_EQ(2, g_propsDestroyed);
}

TEST(XmlNodeEdges, NullQueriesAnswerNothing) {
  CWXMLNode node;
  node.SetPropertyValue(L"a", L"1");
  EXPECT_EQ(0, node.IsPropertyEquals(nullptr, L"1"));
  EXPECT_EQ(0, node.IsPropertyEquals(L"a", nullptr));
  EXPECT_EQ(0, node.IsPropertyEquals(L"a", L"2"));
  EXPECT_EQ(nullptr, node.GetChildNode(L"a"));
  EXPECT_EQ(nullptr, node.GetChildAt(-1));
  EXPECT_EQ(nullptr, node.AddChildNode(nullptr));
  node.SetValueA(nullptr);
  EXPECT_EQ(nullptr, node.GetValue());
  node.SetValueA("8-bit");
  EXPECT_STREQ(L"8-bit", node.GetValue());
}

}  // namespace
