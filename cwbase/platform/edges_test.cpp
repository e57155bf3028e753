// The refusals and no-op operations of the file-handle layer: null handles
// and buffers, names that do not convert, the operations that have no body on
// this platform, and failure answers of the size query.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "cwbase/platform/filecontent.h"
#include "cwbase/platform/filehandle.h"
#include "testing/scopes.h"
#include "testing/tempdir.h"

namespace {

const unsigned long kRead = 0x80000000UL, kWrite = 0x40000000UL;

TEST(FileHandleEdges, NullHandlesAndBuffersMoveNothing) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  void* h = CreateFile(dir.WPath("f").c_str(), kWrite, 0, nullptr, 0, 0, nullptr);
  ASSERT_NE(nullptr, h);
  char byte = 'x';
  unsigned long done = 99;
  struct {
    void* handle;
    void* buffer;
    unsigned long count;
  } cases[] = {{nullptr, &byte, 1}, {h, nullptr, 1}, {h, &byte, 0}};
  for (auto& c : cases) {
    done = 99;
    EXPECT_EQ(0, WriteFile(c.handle, c.buffer, c.count, &done, nullptr));
    EXPECT_EQ(0u, done);
    done = 99;
    EXPECT_EQ(0, ReadFile(c.handle, c.buffer, c.count, &done, nullptr));
    EXPECT_EQ(0u, done);
  }
  EXPECT_EQ(1, WriteFile(h, &byte, 1, nullptr, nullptr));  // `done` may be null
  EXPECT_EQ(0, CloseFileHandle(h));
  EXPECT_EQ(0, CloseFileHandle(nullptr));
  EXPECT_EQ(1u, GetFileSize(dir.WPath("f").c_str()));
}

TEST(FileHandleEdges, RefusedNamesGiveNoHandle) {
  CWTestLocale locale("C");
  ASSERT_TRUE(locale.Ok());
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  // A character the C locale cannot represent: refused before any open.
  std::wstring unconvertible = dir.WPath("caf\u00e9");
  EXPECT_EQ(nullptr, CreateFile(unconvertible.c_str(), kRead | kWrite, 0, nullptr, 0, 0, nullptr));
  EXPECT_EQ(nullptr, CreateFile(nullptr, kRead, 0, nullptr, 0, 0, nullptr));
  EXPECT_EQ(nullptr, CreateFile(dir.WPath("f").c_str(), 0x1, 0, nullptr, 0, 0, nullptr));
  EXPECT_EQ(0u, GetFileSize(unconvertible.c_str()));
  EXPECT_EQ(0u, GetFileSize(static_cast<std::FILE*>(nullptr)));
  EXPECT_EQ(0u, GetFileSize(dir.WPath("missing").c_str()));
  EXPECT_EQ(0, CreateDirectoryEx(unconvertible.c_str()));
}

TEST(FileHandleEdges, OperationsWithoutABodyAnswerZero) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  std::wstring existing = dir.WPath("");
  wchar_t out[8] = L"keep";
  wchar_t* reserved = nullptr;
  EXPECT_EQ(0, IsFileExist(existing.c_str()));  // even for a path that exists
  EXPECT_EQ(0, CopyDirectoryEx(existing.c_str(), dir.WPath("copy").c_str()));
  EXPECT_EQ(0, RemoveDirectoryEx(existing.c_str(), &reserved, 0));
  EXPECT_EQ(0, GetExeName(nullptr, out));
  EXPECT_EQ(std::wstring(L"keep"), out);
  EXPECT_EQ(0, GetExeFolder(nullptr, nullptr));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskTotalBytes(existing.c_str()));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskFreeBytes(existing.c_str()));
}

TEST(FileHandleEdges, MakeFullPathRefusals) {
  wchar_t out[16];
  struct {
    wchar_t* out;
    int size;
    const wchar_t* name;
  } cases[] = {
      {out, 0, L"n"}, {out, -1, L"n"}, {nullptr, 16, L"n"}, {out, 16, nullptr}, {out, 16, L""}};
  for (auto& c : cases) {
    std::wcscpy(out, L"keep");
    EXPECT_EQ(0, MakeFullPath(c.out, c.size, L"dir", c.name, L"x"));
    EXPECT_EQ(std::wstring(L"keep"), out);
  }
}

}  // namespace
