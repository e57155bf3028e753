// Nodes whose arrays start on the room that comes with the node (reader,
// `new`, AddChildNode, operator=): the arrays behave as malloc'd ones, and
// trees mixing such nodes with stack, malloc-backed and subclass nodes
// release cleanly (ASan and valgrind watch the releases).
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

namespace {

// Counts its destructions, so a release that skips a subclass shows.
struct CountedNode : CWXMLNode {
  explicit CountedNode(int* count) : m_pCount(count) {}
  ~CountedNode() override { ++*m_pCount; }
  int* m_pCount;
};

TEST(XmlNodeStorage, ArraysOfEveryNodeStartAtCapacityFiveAndGrow) {
  CWXMLDocument doc;
  ASSERT_EQ(0, XmlLoadAscii(doc, "<r><a/><b x=\"1\"/></r>"));
  CWXMLNode stack;
  std::unique_ptr<CWXMLNode> made(new CWXMLNode);
  CWXMLNode* added = doc.AddChildNode(L"c");
  CWXMLNode copy;
  copy = doc;
  for (CWXMLNode* node : {static_cast<CWXMLNode*>(&doc), doc.GetChildAt(0), doc.GetChildAt(1),
                          &stack, made.get(), added, copy.GetChildAt(2)}) {
    for (CWPtArray* array : {&node->m_Children, &node->m_Props}) {
      EXPECT_EQ(array->GetCapacity(), 5);
      ASSERT_NE(array->GetMemPtr(), nullptr);
      // Growth past the first slots: 2c + 5, the entries kept in order.
      const int before = array->GetSize();
      for (int i = before; i < 16; ++i) ASSERT_EQ(1, array->Add(nullptr));
      EXPECT_EQ(array->GetCapacity(), 35);
      EXPECT_EQ(array->GetSize(), 16);
      EXPECT_EQ(1, array->SetGrowSize(1));  // shrink: count cut to 6
      EXPECT_EQ(array->GetSize(), 6);
      for (int i = before; i < 6; ++i) EXPECT_EQ(array->GetAt(i), nullptr);
    }
  }
  EXPECT_EQ(wcscmp(doc.GetChildAt(1)->GetPropertyValue(L"x"), L"1"), 0);
  EXPECT_EQ(wcscmp(doc.GetChildAt(2)->GetName(), L"c"), 0);
}

TEST(XmlNodeStorage, MixedTreesReleaseEveryNode) {
  int destroyed = 0;
  {
    CWXMLDocument doc;
    ASSERT_EQ(0, XmlLoadAscii(doc, "<r><a><a1/><a2/></a><b/><c/><d/><e/></r>"));
    // Detach a reader-built node with its subtree and release it alone.
    auto* a = static_cast<CWXMLNode*>(doc.m_Children.GetAt(0));
    ASSERT_EQ(1, doc.m_Children.RemoveAt(0));
    // Grow a reader node's lent array with nodes of every kind.
    CWXMLNode* b = doc.GetChildAt(0);
    b->m_Children.Add(new CountedNode(&destroyed));
    b->m_Children.Add(new CWXMLNode(b));
    for (int i = 0; i < 6; ++i) b->AddChildNode(L"n")->SetValue(L"owned");
    b->m_Children.Add(a);  // a reader subtree under a reader node again
    b->SetValue(L"owned value");
    // A setter-built node adopting reader-built ones.
    std::unique_ptr<CWXMLNode> holder(new CWXMLNode);
    holder->m_Children.Add(doc.m_Children.GetAt(1));
    ASSERT_EQ(1, doc.m_Children.RemoveAt(1));
    holder->m_Children.Add(new CountedNode(&destroyed));
    EXPECT_EQ(XmlDump(*holder), L"#{c #}");
    // Copy a mixed tree, then reload over it.
    CWXMLDocument copy;
    copy = doc;
    EXPECT_EQ(copy.GetChildAt(0)->GetChildCount(), 7);  // unnamed children are not copied
    ASSERT_EQ(0, XmlLoadAscii(doc, "<s/>"));
    EXPECT_EQ(1, destroyed);
  }
  EXPECT_EQ(2, destroyed);
}

// The standard reader cuts its nodes and attributes (plain, expanded from
// an entity, added from a default) from the load's chunks: each node comes
// with the room for its arrays, and every object is released alone or with
// the tree, after setters mixed other nodes in.
TEST(XmlNodeStorage, StandardReaderNodesReleaseWithTheTree) {
  const std::string text =
      "<!DOCTYPE r [<!ENTITY e 'v'><!ATTLIST x d CDATA 'dv'>]>"
      "<r a='1'><x b='&e;'/><y c='2'>t</y><z/></r>";
  CWXMLDocument doc;
  ASSERT_EQ(0, doc.LoadXML(reinterpret_cast<const unsigned char*>(text.data()),
                           static_cast<long>(text.size())));
  EXPECT_EQ(XmlDump(doc), L"r[a=1]{x[b=v|d=dv] y[c=2]\"t\" z}");
  for (int i = 0; i < doc.GetChildCount(); ++i) {
    CWXMLNode* node = doc.GetChildAt(i);
    EXPECT_EQ(node->m_Children.GetCapacity(), 5);
    EXPECT_EQ(node->m_Props.GetMemPtr(), node->m_Children.GetMemPtr() + 5);
  }
  auto* x = static_cast<CWXMLNode*>(doc.m_Children.GetAt(0));
  ASSERT_EQ(1, doc.m_Children.RemoveAt(0));
  x->SetPropertyValue(L"b", L"owned");
  delete x;
  CWXMLNode* y = doc.GetChildAt(0);
  for (int i = 0; i < 6; ++i) y->AddChildNode(L"n")->SetPropertyValue(L"k", L"v");
  y->SetPropertyValue(L"c", L"3");
  CWXMLDocument copy;
  copy = doc;
  ASSERT_EQ(0, doc.LoadXML(reinterpret_cast<const unsigned char*>("<s/>"), 4));
  std::wstring n;
  for (int i = 0; i < 6; ++i) n += i ? L" n[k=v]" : L"n[k=v]";
  EXPECT_EQ(XmlDump(copy), L"r[a=1]{y[c=3]\"t\"{" + n + L"} z}");
  EXPECT_EQ(XmlDump(doc), L"s");
}

}  // namespace
