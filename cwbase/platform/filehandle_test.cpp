#include "cwbase/platform/filehandle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/tempdir.h"

namespace {

const unsigned long kRead = 0x80000000UL, kWrite = 0x40000000UL, kAll = 0x10000000UL;

void* Open(const std::wstring& name, unsigned long access) {
  return CreateFile(name.c_str(), access, 0, nullptr, 0, 0, nullptr);
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FileHandle, AccessBitsChooseTheMode) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  EXPECT_EQ(nullptr, Open(dir.WPath("r"), kRead));
  EXPECT_EQ(nullptr, Open(dir.WPath("none"), 0x0FFFFFFFUL));
  EXPECT_EQ(nullptr, CreateFile(nullptr, kAll, 0, nullptr, 0, 0, nullptr));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

  std::ofstream(dir.Path("w")) << "old";
  EXPECT_EQ(0, CloseFileHandle(Open(dir.WPath("w"), kWrite)));
  EXPECT_EQ("", Get(dir.Path("w")));

  // Read and write: created when missing, never cut.
  for (unsigned long access : {kRead | kWrite, kAll}) {
    void* h = Open(dir.WPath("rw"), access);
    ASSERT_NE(nullptr, h);
    unsigned long done = 99;
    EXPECT_EQ(1, WriteFile(h, const_cast<char*>("ab"), 2, &done, nullptr));
    EXPECT_EQ(2u, done);
    CloseFileHandle(h);
  }
  EXPECT_EQ("ab", Get(dir.Path("rw")));
}

TEST(FileHandle, ReadReportsWhetherBytesMoved) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  std::ofstream(dir.Path("f")) << "hello";
  void* h = Open(dir.WPath("f"), kRead);
  ASSERT_NE(nullptr, h);
  char buf[16] = {0};
  unsigned long done = 99;
  EXPECT_EQ(1, ReadFile(h, buf, 3, nullptr, nullptr));
  EXPECT_STREQ("hel", buf);
  EXPECT_EQ(1, ReadFile(h, buf, sizeof buf, &done, nullptr));  // short read
  EXPECT_EQ(2u, done);
  EXPECT_EQ(0, ReadFile(h, buf, sizeof buf, &done, nullptr));  // at the end
  EXPECT_EQ(0u, done);
  done = 99;
  EXPECT_EQ(0, ReadFile(h, nullptr, 4, &done, nullptr));
  EXPECT_EQ(0u, done);
  CloseFileHandle(h);
}

TEST(MakeFullPath, JoinsWithBackslash) {
  struct Case {
    const wchar_t *folder, *name, *extension, *expected;
  } cases[] = {{L"D:\\data\\", L"a", L"txt", L"D:\\data\\a.txt"},
               {L"/tmp", L"a", nullptr, L"/tmp\\a"},
               {L"/tmp/", L"a", L"", L"/tmp/\\a"},
               {L"", L"a", L"x", L"a.x"},
               {nullptr, L"a", nullptr, L"a"}};
  for (const Case& c : cases) {
    wchar_t out[64];
    EXPECT_EQ(1, MakeFullPath(out, 64, c.folder, c.name, c.extension));
    EXPECT_STREQ(c.expected, out);
  }
}

TEST(MakeFullPath, NeverWritesBeyondSize) {
  wchar_t out[8];
  std::wmemset(out, L'#', 8);
  EXPECT_EQ(0, MakeFullPath(out, 8, L"d", L"", L"x"));
  EXPECT_EQ(0, MakeFullPath(out, 8, L"d", nullptr, L"x"));
  EXPECT_EQ(0, MakeFullPath(out, 0, L"d", L"a", L"x"));
  EXPECT_EQ(0, MakeFullPath(out, 8, L"ab", L"cd", L"xy"));  // 8 units + terminator
  for (wchar_t c : out) ASSERT_EQ(L'#', c);
  EXPECT_EQ(1, MakeFullPath(out, 8, L"ab", L"cd", L"x"));
  EXPECT_STREQ(L"ab\\cd.x", out);

  // Folder and name are limited to 1023 units; longer ones are refused.
  std::wstring folder(1020, L'f'), big(2048, L'#');
  EXPECT_EQ(1, MakeFullPath(&big[0], 2048, folder.c_str(), L"ab", L"txt"));
  EXPECT_EQ(folder + L"\\ab.txt", std::wstring(big.c_str()));
  std::wstring before = big;
  EXPECT_EQ(0, MakeFullPath(&big[0], 2048, folder.c_str(), L"abc", L"txt"));
  EXPECT_EQ(before, big);
}

TEST(CreateDirectoryEx, WalksTheChain) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(0, chdir(dir.Path().c_str()));
  int first = CreateDirectoryEx(L"x/y/z");
  errno = 0;
  int again = CreateDirectoryEx(L"x/y/z");
  int againErrno = errno;
  int doubled = CreateDirectoryEx(L"p//q/");
  int backslash = CreateDirectoryEx(L"b\\c");
  int nothing = CreateDirectoryEx(L"///") + CreateDirectoryEx(L"") + CreateDirectoryEx(nullptr);
  ASSERT_EQ(0, chdir(cwd.c_str()));

  EXPECT_EQ(1, first);
  EXPECT_EQ(0, again);
  EXPECT_EQ(EEXIST, againErrno);
  EXPECT_EQ(1, doubled);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("p/q")));
  EXPECT_EQ(1, backslash);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("b\\c")));
  EXPECT_EQ(0, nothing);
}

TEST(CreateDirectoryEx, RefusesPathsBeyondItsBuffers) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  // Absolute paths of 2047 and 2046 bytes, a component every 200 bytes: the
  // rebuilt path adds a '/', so 2046 fit and 2047 are refused, not cut.
  auto pathOf = [&](size_t total) {
    std::string p = dir.Path("");
    while (p.size() < total) p += p.size() % 200 == 0 ? '/' : 'd';
    if (p.back() == '/') p.back() = 'd';
    return std::wstring(p.begin(), p.end());
  };
  EXPECT_EQ(0, CreateDirectoryEx(pathOf(2047).c_str()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  std::wstring fits = pathOf(2046);
  EXPECT_EQ(1, CreateDirectoryEx(fits.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(std::string(fits.begin(), fits.end())));
}

TEST(GetExeFolder, WritesTheFirstCommandLineArgument) {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  std::wstring out(2048, L'#');
  EXPECT_EQ(1, GetExeFolder(nullptr, &out[0]));
  EXPECT_EQ(std::wstring(first.begin(), first.end()), std::wstring(out.c_str()));
  EXPECT_EQ(0, GetExeFolder(nullptr, nullptr));
}

}  // namespace
