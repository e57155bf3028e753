// LoadXMLFile and SaveXMLFile: round trips through real files, the reasons
// given for files that cannot be read or written, and a save that fails
// part-way leaving the old file whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cwbase/platform/internal/replace_fault.h"
#include "cwbase/xml/xmlnode.h"
#include "testing/scopes.h"
#include "testing/tempdir.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

size_t Entries(const std::string& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                           std::filesystem::directory_iterator()));
}

TEST(XmlFile, EditAndSaveRoundTrip) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.Path("config.xml");
  Write(path, "<?xml version=\"1.0\"?>\n<config version=\"1\"><port>80</port></config>\n");
  CWXMLDocument doc;
  ASSERT_EQ(0, doc.LoadXMLFile(path.c_str()));
  long port = 0;
  ASSERT_EQ(CWXML_VALUE_OK, doc.GetChildNode(L"port")->QueryValueLong(&port));
  EXPECT_EQ(80, port);
  doc.GetChildNode(L"port")->SetValue(8080L);
  doc.SetPropertyValue(L"version", L"2");
  doc.AddChildNode(L"host")->SetValue(L"h\u00e9");
  ASSERT_EQ(0, doc.SaveXMLFile(dir.WPath("config.xml").c_str()));
  EXPECT_EQ(CWXML_ERROR_NONE, doc.GetLastError().code);

  CWXMLDocument back;
  ASSERT_EQ(0, back.LoadXMLFile(dir.WPath("config.xml").c_str()));
  EXPECT_EQ(1, back.IsPropertyEquals(L"version", L"2"));
  EXPECT_STREQ(L"8080", back.GetChildNode(L"port")->GetValue());
  EXPECT_STREQ(L"h\u00e9", back.GetChildNode(L"host")->GetValue());
  EXPECT_EQ(1u, Entries(dir.Path()));

  // A wide path that needs more bytes than it has units.
  CWTestLocale utf8("C.UTF-8");
  if (utf8.Ok()) {
    const std::wstring wide = dir.WPath("") + L"\u00fcber.xml";
    ASSERT_EQ(0, back.SaveXMLFile(wide.c_str()));
    CWXMLDocument again;
    ASSERT_EQ(0, again.LoadXMLFile(wide.c_str()));
    EXPECT_STREQ(L"8080", again.GetChildNode(L"port")->GetValue());
  }
}

TEST(XmlFile, ReadFailuresNameTheReason) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  Write(dir.Path("empty.xml"), "");
  Write(dir.Path("bad.xml"), "<a>\n<b></a>");
  const struct {
    std::string path;
    int code;
    const char* words;  // part of the message
  } cases[] = {
      {dir.Path("missing.xml"), CWXML_ERROR_FILE_READ, "does not exist"},
      {dir.Path(), CWXML_ERROR_FILE_READ, "directory"},
      {dir.Path("missing/x.xml"), CWXML_ERROR_FILE_READ, "does not exist"},
      {dir.Path("empty.xml/x"), CWXML_ERROR_FILE_READ, "not a directory"},
      {dir.Path("empty.xml"), CWXML_ERROR_NO_ROOT, "no root"},
      {dir.Path("bad.xml"), CWXML_ERROR_MISMATCHED_TAG, ""},
  };
  for (const auto& c : cases) {
    CWXMLDocument doc;
    doc.SetName(L"stale");
    EXPECT_EQ(-1, doc.LoadXMLFile(c.path.c_str())) << c.path;
    EXPECT_EQ(nullptr, doc.GetName());  // the tree is emptied
    EXPECT_EQ(c.code, doc.GetLastError().code) << c.path;
    EXPECT_NE(nullptr, std::strstr(doc.GetLastError().message, c.words))
        << doc.GetLastError().message;
  }
  CWXMLDocument doc;
  EXPECT_EQ(-1, doc.LoadXMLFile(static_cast<const char*>(nullptr)));
  EXPECT_EQ(CWXML_ERROR_FILE_READ, doc.GetLastError().code);
  EXPECT_EQ(-1, doc.LoadXMLFile(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(CWXML_ERROR_FILE_READ, doc.GetLastError().code);
  EXPECT_EQ(-1, doc.LoadXMLFile(dir.Path("bad.xml").c_str()));
  EXPECT_EQ(2, doc.GetLastError().line);
}

int FailSecondWrite(cwbase_internal::ReplaceStep step, void* seen) {
  if (step != cwbase_internal::ReplaceStep::kWrite) return 0;
  return ++*static_cast<int*>(seen) == 2 ? ENOSPC : 0;
}

TEST(XmlFile, SaveFailingPartWayKeepsTheOldFile) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string path = dir.Path("data.xml");
  const std::string old = "<old/>";
  Write(path, old);
  // Output of several pieces, so the second write fails with one written.
  CWXMLDocument doc;
  doc.SetName(L"big");
  for (int i = 0; i < 20000; ++i) doc.AddChildNode(L"item")->SetValue(L"some text");
  int seen = 0;
  cwbase_internal::SetReplaceFault(FailSecondWrite, &seen);
  EXPECT_EQ(-1, doc.SaveXMLFile(path.c_str()));
  cwbase_internal::SetReplaceFault(nullptr, nullptr);
  EXPECT_EQ(2, seen);
  EXPECT_EQ(ENOSPC, errno);
  EXPECT_EQ(CWXML_ERROR_FILE_WRITE, doc.GetLastError().code);
  EXPECT_NE(nullptr, std::strstr(doc.GetLastError().message, "no space"));
  EXPECT_EQ(old, Read(path));
  EXPECT_EQ(1u, Entries(dir.Path()));

  // Failures without injection: a directory at the path, a missing
  // directory, a tree that is not XML. Nothing is written.
  EXPECT_EQ(-1, doc.SaveXMLFile(dir.Path().c_str()));
  EXPECT_NE(nullptr, std::strstr(doc.GetLastError().message, "directory"));
  EXPECT_EQ(-1, doc.SaveXMLFile(dir.Path("no/data.xml").c_str()));
  EXPECT_EQ(CWXML_ERROR_FILE_WRITE, doc.GetLastError().code);
  CWXMLDocument bad;
  bad.SetName(L"1nvalid name");
  EXPECT_EQ(-1, bad.SaveXMLFile(path.c_str()));
  EXPECT_NE(CWXML_ERROR_NONE, bad.GetLastError().code);
  EXPECT_EQ(old, Read(path));
  EXPECT_EQ(1u, Entries(dir.Path()));
}

}  // namespace
