// Independent XML documents on several threads at once: load (both forms),
// edit, copy and write, each thread with documents of its own.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
