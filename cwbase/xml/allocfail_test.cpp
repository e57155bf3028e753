// Allocation failures in the XML tree, reader and writer, made real by a
// capped (and, for small requests, exhausted) address space; see
// core/addresslimit_test.h.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "testing/addresslimit.h"
#include "testing/scopes.h"
#include "testing/xmltree.h"

namespace {

TEST(AllocationFailure, XmlSettersAndAdditionsFailQuietly) {
  CWRunWithAddressLimit([] {
    CWXMLDocument doc;
    CW_TEST_CHILD_CHECK(XmlLoadAscii(doc, "<r a=1><c>x</c></r>") == 0);
    CWXMLNode* child = doc.GetChildAt(0);
    CWTestExhaustMemory();
    // Setters leave the field null; the addition answers null.
    child->SetValue(L"new value");
    CW_TEST_CHILD_CHECK(child->GetValue() == nullptr);
    child->SetName(L"renamed");
    CW_TEST_CHILD_CHECK(child->GetName() == nullptr);
    child->SetValue(12L);
    CW_TEST_CHILD_CHECK(child->GetValue() == nullptr);
    child->SetValue(L"x");
    child->SetValueA("8-bit");
    CW_TEST_CHILD_CHECK(child->GetValue() == nullptr);
    CW_TEST_CHILD_CHECK(doc.AddChildNode(L"more") == nullptr && doc.GetChildCount() == 1);
    // A new attribute object cannot be had: std::bad_alloc, nothing changed.
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { doc.SetPropertyValue(L"b", L"2"); }));
    CW_TEST_CHILD_CHECK(doc.m_Props.GetSize() == 1 && doc.GetPropertyValue(L"b") == nullptr);
    // The writers stop where the storage ran out and report 0.
    CWBlock out;
    CW_TEST_CHILD_CHECK(doc.CWXMLNode::SaveToXMLStream(out) == 0);
    CW_TEST_CHILD_CHECK(doc.CWXMLNode::SaveToXMLStreamAscii(out) == 0);
    CW_TEST_CHILD_CHECK(out.GetSize() == 0);
    // Copying into another tree skips what it cannot copy.
    CWXMLDocument copy;
    copy = doc;
    CW_TEST_CHILD_CHECK(copy.GetChildCount() <= 1 && copy.m_Props.GetSize() <= 1);
  });
}

// Arrays on the room that comes with a node: a growth that cannot get
// malloc storage is refused and leaves the entries on that room.
TEST(AllocationFailure, XmlLentArraysRefuseGrowthAndKeepTheirEntries) {
  CWRunWithAddressLimit([] {
    CWXMLDocument doc;
    CW_TEST_CHILD_CHECK(XmlLoadAscii(doc, "<r><a/><b/><c/><d/><e/></r>") == 0);
    std::unique_ptr<CWXMLNode> made(new CWXMLNode);
    for (int i = 0; i < 5; ++i) made->m_Props.Add(nullptr);
    CWTestExhaustMemory();
    for (CWPtArray* array : {&doc.m_Children, &made->m_Props}) {
      void** slots = array->GetMemPtr();
      void* first = array->GetAt(0);
      CW_TEST_CHILD_CHECK(array->Add(nullptr) == 0 && array->SetGrowSize(9) == 0);
      array->InsertAt(0, nullptr);
      array->SetAt(5, nullptr);
      CW_TEST_CHILD_CHECK(array->GetMemPtr() == slots && array->GetSize() == 5 &&
                          array->GetCapacity() == 5 && array->GetAt(0) == first);
    }
    CW_TEST_CHILD_CHECK(wcscmp(doc.GetChildAt(4)->GetName(), L"e") == 0);
  });
}

TEST(AllocationFailure, XmlLoadBufferFailureReachesTheCaller) {
  std::string huge = "<r>" + std::string(32u << 20, 'x') + "</r>";
  CWRunWithAddressLimit([&] {
    CWXMLDocument doc;
    auto* bytes = reinterpret_cast<unsigned char*>(&huge[0]);
    int n = static_cast<int>(huge.size());
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { doc.LoadFromStreamAscii(bytes, n); }));
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { doc.LoadFromStream(bytes, n); }));
  });
}

// 8-bit text read straight into the buffer (all ASCII, or any text in a
// UTF-8 locale): when the buffer cannot grow, the earlier tree and its
// strings are left as they were, as on the converting path.
TEST(AllocationFailure, XmlLoadBufferFailureKeepsTheEarlierTree) {
  CWTestLocale scope("C.UTF-8");
  ASSERT_TRUE(scope.Ok());
  const std::string body(32u << 20, 'x');
  for (std::string huge : {"<r>" + body + "</r>", "<r>\xc3\xa9" + body + "</r>"}) {
    CWRunWithAddressLimit([&] {
      CWXMLDocument doc;
      CW_TEST_CHILD_CHECK(XmlLoadAscii(doc, "<r a=\"1\"><c>\xc3\xa9</c></r>") == 0);
      auto* bytes = reinterpret_cast<unsigned char*>(&huge[0]);
      CW_TEST_CHILD_CHECK(
          CWTestThrows([&] { doc.LoadFromStreamAscii(bytes, static_cast<int>(huge.size())); }));
      CW_TEST_CHILD_CHECK(doc.GetChildCount() == 1 && wcscmp(doc.GetName(), L"r") == 0);
      CW_TEST_CHILD_CHECK(wcscmp(doc.GetChildAt(0)->GetValue(), L"\u00e9") == 0);
      CW_TEST_CHILD_CHECK(wcscmp(doc.GetPropertyValue(L"a"), L"1") == 0);
    });
  }
}

// A lossless load whose nodes outgrow the memory (the default load of the
// same text fits): -1, out of memory, and nothing kept, in the tree or in
// the lists.
TEST(AllocationFailure, XmlKeepAllRunsOutCleanly) {
  std::string many = "<!--p--><r>";
  for (int i = 0; i < 200000; ++i) many += "<!---->x";
  many += "</r>";
  CWRunWithAddressLimit([&] {
    CWXMLDocument doc;
    const auto* bytes = reinterpret_cast<const unsigned char*>(many.data());
    CW_TEST_CHILD_CHECK(doc.LoadXML(bytes, static_cast<long>(many.size()), CWXML_KEEP_ALL) == -1);
    CW_TEST_CHILD_CHECK(doc.GetLastError().code == CWXML_ERROR_OUT_OF_MEMORY);
    CW_TEST_CHILD_CHECK(!doc.GetName() && doc.GetChildCount() == 0);
    CW_TEST_CHILD_CHECK(doc.m_Prolog.GetSize() == 0 && doc.m_Epilog.GetSize() == 0);
  });
}

}  // namespace
