// Tree editing: who owns what after insert, remove and detach, across
// documents and reloads (run it under ASan), and attribute walking.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cwbase/xml/xmlnode.h"
#include "testing/xmltree.h"

namespace {

const char kSource[] = "<r><a k=\"1\">one<b>two</b></a><c/><d>four</d></r>";

int LoadStandard(CWXMLDocument& doc, const std::string& text) {
  return doc.LoadXML(reinterpret_cast<const unsigned char*>(text.data()),
                     static_cast<long>(text.size()));
}

// Both readers borrow every string from the document's buffer.
using Loader = int (*)(CWXMLDocument&, const std::string&);
const Loader kLoaders[] = {XmlLoadAscii, LoadStandard};

TEST(XmlEdit, DetachedSubtreeOutlivesReloadAndDestruction) {
  for (Loader load : kLoaders) {
    auto source = std::make_unique<CWXMLDocument>();
    ASSERT_EQ(0, load(*source, kSource));
    const std::wstring before = XmlDump(*source->GetChildAt(0));
    std::unique_ptr<CWXMLNode> a(source->DetachChildAt(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(nullptr, a->m_pParent);
    EXPECT_EQ(2, source->GetChildCount());
    EXPECT_STREQ(L"c", source->GetChildAt(0)->GetName());
    // A reload of the same size rewrites the buffer in place; a longer one
    // moves it (ASan reports a read of the old one).
    ASSERT_EQ(0, load(*source, "<x><y>zzzzzzzzzzzzzzzz</y></x>"));
    EXPECT_EQ(before, XmlDump(*a));
    ASSERT_EQ(0, load(*source, "<q>" + std::string(4096, 'q') + "</q>"));
    EXPECT_EQ(before, XmlDump(*a));
    source.reset();
    EXPECT_EQ(before, XmlDump(*a));

    // Into another document, which then owns it; that one reloads too.
    CWXMLDocument target;
    ASSERT_EQ(0, load(target, "<t><u/></t>"));
    ASSERT_EQ(1, target.InsertChildNode(0, a.get()));
    CWXMLNode* moved = a.release();
    EXPECT_EQ(&target, moved->m_pParent);
    EXPECT_EQ(before, XmlDump(*target.GetChildAt(0)));
    EXPECT_STREQ(L"u", target.GetChildAt(1)->GetName());
    moved->SetPropertyValue(L"k", L"2");
    EXPECT_STREQ(L"2", target.GetChildAt(0)->GetPropertyValue(L"k"));
  }
}

TEST(XmlEdit, RemoveAndDetachInEitherOrderOfDestruction) {
  for (Loader load : kLoaders) {
    CWXMLNode* kept;
    {
      CWXMLDocument doc;
      ASSERT_EQ(0, load(doc, kSource));
      CWXMLNode* d = doc.GetChildAt(2);
      EXPECT_EQ(2, doc.GetChildIndex(d));
      EXPECT_EQ(1, doc.RemoveChildNode(d));  // destroyed with its borrowed strings
      EXPECT_EQ(0, doc.RemoveChildNode(d));
      CWXMLNode* a = doc.GetChildAt(0);
      kept = a->DetachChildNode(a->GetChildNode(L"b"));
      ASSERT_TRUE(kept);
      EXPECT_EQ(1, doc.RemoveChildAt(0));  // a goes, b was taken out before
      ASSERT_EQ(1, doc.GetChildCount());
      EXPECT_STREQ(L"c", doc.GetChildAt(0)->GetName());
    }
    EXPECT_EQ(L"b\"two\"", XmlDump(*kept));
    delete kept;
  }
}

TEST(XmlEdit, InsertPlacesOrRefuses) {
  CWXMLDocument doc;
  // The standard reader leaves the values of these elements null.
  ASSERT_EQ(0, LoadStandard(doc, "<r><a><b/></a><c/></r>"));
  CWXMLNode* a = doc.GetChildAt(0);
  CWXMLNode* b = a->GetChildAt(0);
  auto fresh = std::make_unique<CWXMLNode>();
  fresh->SetName(L"n");
  const struct {
    CWXMLNode* into;
    int index;
    CWXMLNode* child;
  } refused[] = {
      {&doc, 0, nullptr},
      {&doc, -1, fresh.get()},
      {&doc, 3, fresh.get()},
      {b, 0, &doc},
      {b, 0, a},
      {a, 0, a},
      {&doc, 0, b},  // still in a's list: two owners otherwise
  };
  for (const auto& r : refused) {
    EXPECT_EQ(0, r.into->InsertChildNode(r.index, r.child)) << r.index;
    EXPECT_EQ(L"r{a{b} c}", XmlDump(doc));
  }
  // Front, middle and end (index == count appends).
  const struct {
    int index;
    const wchar_t* dump;
  } placed[] = {{0, L"r{n a{b} c}"}, {2, L"r{n a{b} n c}"}, {4, L"r{n a{b} n c n}"}};
  for (const auto& p : placed) {
    auto* n = new CWXMLNode();
    n->SetName(L"n");
    ASSERT_EQ(1, doc.InsertChildNode(p.index, n));
    EXPECT_EQ(&doc, n->m_pParent);
    EXPECT_EQ(p.dump, XmlDump(doc));
  }
  // A node moved within its own tree once detached.
  CWXMLNode* moved = a->DetachChildAt(0);
  ASSERT_EQ(1, doc.InsertChildNode(0, moved));
  EXPECT_EQ(L"r{b n a n c n}", XmlDump(doc));
}

TEST(XmlEdit, IndicesCountNullEntries) {
  CWXMLNode node;
  node.AddChildNode(L"a");
  node.m_Children.Add(nullptr);
  EXPECT_EQ(nullptr, node.DetachChildAt(1));
  EXPECT_EQ(nullptr, node.DetachChildAt(2));
  EXPECT_EQ(nullptr, node.DetachChildNode(nullptr));
  EXPECT_EQ(0, node.RemoveChildAt(-1) + node.RemoveChildAt(2) + node.RemoveChildNode(nullptr));
  EXPECT_EQ(1, node.RemoveChildAt(1));  // the null entry just goes
  EXPECT_EQ(1, node.GetChildCount());
  EXPECT_EQ(-1, node.GetChildIndex(&node));
}

TEST(XmlEdit, AttributesWalkedAndRemoved) {
  CWXMLDocument doc;
  // The exact reader keeps repeated names.
  ASSERT_EQ(0, XmlLoadAscii(doc, "<a x=1 y=2 x=3 z=4/>"));
  ASSERT_EQ(4, doc.GetPropertyCount());
  std::wstring walked;
  for (int i = 0; i < doc.GetPropertyCount(); ++i)
    walked += std::wstring(doc.GetPropertyAt(i)->m_pName) + doc.GetPropertyAt(i)->m_pValue;
  EXPECT_EQ(L"x1y2x3z4", walked);
  EXPECT_EQ(nullptr, doc.GetPropertyAt(4));
  EXPECT_EQ(nullptr, doc.GetPropertyAt(-1));
  EXPECT_EQ(2, doc.RemoveProperty(L"x"));  // every one of the name
  EXPECT_EQ(nullptr, doc.GetPropertyValue(L"x"));
  EXPECT_EQ(0, doc.RemoveProperty(L"x") + doc.RemoveProperty(nullptr));
  EXPECT_EQ(0, doc.RemovePropertyAt(2));
  EXPECT_EQ(1, doc.RemovePropertyAt(0));
  EXPECT_EQ(L"a[z=4]", XmlDump(doc));
}

// A comment node as the standard reader keeps one: no name, text in the value.
CWXMLNode* Comment(const wchar_t* text) {
  auto* c = new CWXMLNode();
  c->m_Kind = CWXML_NODE_COMMENT;
  c->SetValue(text);
  return c;
}

TEST(XmlEdit, CopiesKeepNodesOfEveryKind) {
  CWXMLDocument source;
  source.SetName(L"r");
  source.m_Children.Add(Comment(L" note "));
  source.m_Children.Add(new CWXMLNode());  // a nameless element is still left out
  source.AddChildNode(L"e")->SetValue(L"v");
  source.m_Prolog.Add(Comment(L" before "));
  source.m_Epilog.Add(Comment(L" after "));

  CWXMLDocument copy;
  copy.m_Prolog.Add(Comment(L" old "));
  copy = source;
  ASSERT_EQ(2, copy.GetChildCount());
  EXPECT_EQ(CWXML_NODE_COMMENT, copy.GetChildAt(0)->GetKind());
  EXPECT_STREQ(L" note ", copy.GetChildAt(0)->GetValue());
  EXPECT_EQ(&copy, copy.GetChildAt(0)->m_pParent);
  EXPECT_TRUE(copy.GetChildAt(1)->IsElement());
  ASSERT_EQ(1, copy.m_Prolog.GetSize());
  ASSERT_EQ(1, copy.m_Epilog.GetSize());
  auto* before = static_cast<CWXMLNode*>(copy.m_Prolog.GetAt(0));
  EXPECT_NE(source.m_Prolog.GetAt(0), before);
  EXPECT_STREQ(L" before ", before->GetValue());
  EXPECT_EQ(CWXML_NODE_COMMENT, before->GetKind());

  // A node copied into a document keeps the document's prolog and epilog.
  CWXMLNode plain;
  plain.SetName(L"p");
  copy = plain;
  EXPECT_EQ(L"p", XmlDump(copy));
  EXPECT_EQ(1, copy.m_Prolog.GetSize());
  CWXMLDocument& same = copy;
  copy = same;  // a document copied into itself keeps its lists
  EXPECT_EQ(1, copy.m_Epilog.GetSize());
}

}  // namespace
