// Independent XML documents on several threads at once: load (both forms),
// edit, copy and write, each thread with documents of its own.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/scopes.h"
#include "testing/threads.h"
#include "testing/xmltree.h"

namespace {

std::string ToNarrow(const std::wstring& w) {
  return std::string(w.begin(), w.end());
}

std::string XmlWork(unsigned salt) {
  std::string d;
  for (unsigned round = 0; round < 40; ++round) {
    unsigned k = salt * 100 + round;
    std::string text = "<?xml version=\"1.0\"?>\r\n<root id=" + std::to_string(k) +
                       " name=\"thread " + std::to_string(salt) + "\"><item n=1>" +
                       std::to_string(k * 3) + "</item><item n=2/><deep><deep>x" +
                       std::to_string(k) + "</deep></deep></root>";
    CWXMLDocument doc;
    d += std::to_string(XmlLoadAscii(doc, text));
    doc.AddChildNode(L"added")->SetValue(static_cast<long>(k));
    doc.SetPropertyValue(L"round", static_cast<long>(round));
    CWXMLDocument copy;
    copy = doc;
    CWBlock wide, narrow;
    copy.SaveToXMLStream(wide);
    doc.SaveToXMLStreamAscii(narrow);
    CWXMLDocument back;
    d += std::to_string(back.LoadFromStream(static_cast<unsigned char*>(wide.GetBuffer()),
                                            static_cast<int>(wide.GetSize())));
    d += ToNarrow(XmlDump(back)) + "|";
    d.append(static_cast<const char*>(narrow.GetBuffer()), narrow.GetSize());
  }
  return d;
}

TEST(Threads, IndependentXmlDocuments) {
  CWTestLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  ExpectSameOnThreads(XmlWork);
}

// Objects made with `new` come from a pool of the making thread's: trees
// built on threads that then end are released by the main thread, and
// one built here is released on several threads at once.
TEST(Threads, TreesOutliveTheThreadsThatBuiltThem) {
  std::vector<CWXMLNode*> trees(4);
  std::vector<std::thread> builders;
  builders.reserve(trees.size());
  for (size_t t = 0; t < trees.size(); ++t)
    builders.emplace_back([&trees, t] {
      auto* root = new CWXMLNode;
      root->SetName(L"root");
      for (int i = 0; i < 3000; ++i) root->AddChildNode(L"item")->SetPropertyValue(L"n", 1L * i);
      trees[t] = root;
    });
  for (std::thread& b : builders) b.join();
  for (CWXMLNode* tree : trees) {
    EXPECT_EQ(tree->GetChildCount(), 3000);
    delete tree;
  }
  CWXMLNode shared;
  for (int i = 0; i < 4000; ++i) shared.AddChildNode(L"x");
  std::vector<std::thread> releasers;
  releasers.reserve(4);
  for (int t = 0; t < 4; ++t)
    releasers.emplace_back([&shared, t] {
      for (int i = t; i < 4000; i += 4) delete shared.GetChildAt(i);
    });
  for (std::thread& r : releasers) r.join();
  shared.m_Children.RemoveAll();
}

}  // namespace
