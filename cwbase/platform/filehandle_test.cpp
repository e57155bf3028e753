#include "cwbase/platform/filehandle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "cwbase/platform/tempdir_test.h"

namespace {

const unsigned long kRead = 0x80000000UL;
const unsigned long kWrite = 0x40000000UL;
const unsigned long kAll = 0x10000000UL;

void* Open(const std::wstring& name, unsigned long access) {
  return CreateFile(name.c_str(), access, 0, nullptr, 0, 0, nullptr);
}

class FileHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.Ok()); }
  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir.Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) {
    std::ifstream in(dir.Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) { return access(dir.Path(name).c_str(), F_OK) == 0; }

  CWTestDir dir;
};

TEST_F(FileHandleTest, AccessBitsChooseTheMode) {
  EXPECT_EQ(nullptr, Open(dir.WPath("r"), kRead));
  EXPECT_FALSE(Exists("r"));
  EXPECT_EQ(nullptr, Open(dir.WPath("none"), 0x0FFFFFFFUL));
  EXPECT_FALSE(Exists("none"));
  EXPECT_EQ(nullptr, CreateFile(nullptr, kAll, 0, nullptr, 0, 0, nullptr));

  Put("w", "old content");
  void* h = Open(dir.WPath("w"), kWrite);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(0, CloseFileHandle(h));
  EXPECT_EQ("", Get("w"));

  // Read and write: a missing file is created, an existing one keeps its bytes.
  for (unsigned long access : {kRead | kWrite, kAll, kAll | kRead}) {
    Put("rw", "0123");
    h = Open(dir.WPath("rw"), access);
    ASSERT_NE(nullptr, h);
    char c = 0;
    unsigned long done = 99;
    EXPECT_EQ(1, ReadFile(h, &c, 1, &done, nullptr));
    EXPECT_EQ('0', c);
    EXPECT_EQ(1u, done);
    CloseFileHandle(h);
    EXPECT_EQ("0123", Get("rw"));
  }
  h = Open(dir.WPath("fresh"), kAll);
  ASSERT_NE(nullptr, h);
  CloseFileHandle(h);
  EXPECT_TRUE(Exists("fresh"));
}

TEST_F(FileHandleTest, ReadAndWriteReportWhetherBytesMoved) {
  void* h = Open(dir.WPath("f"), kWrite);
  ASSERT_NE(nullptr, h);
  unsigned long done = 99;
  EXPECT_EQ(1, WriteFile(h, const_cast<char*>("hello"), 5, &done, nullptr));
  EXPECT_EQ(5u, done);
  EXPECT_EQ(0, WriteFile(h, const_cast<char*>("x"), 0, &done, nullptr));
  EXPECT_EQ(0u, done);
  CloseFileHandle(h);

  h = Open(dir.WPath("f"), kRead);
  ASSERT_NE(nullptr, h);
  char buf[16] = {0};
  EXPECT_EQ(1, ReadFile(h, buf, 3, nullptr, nullptr));
  EXPECT_STREQ("hel", buf);
  done = 99;
  EXPECT_EQ(1, ReadFile(h, buf, sizeof buf, &done, nullptr));  // short read
  EXPECT_EQ(2u, done);
  done = 99;
  EXPECT_EQ(0, ReadFile(h, buf, sizeof buf, &done, nullptr));  // at the end
  EXPECT_EQ(0u, done);
  done = 99;
  EXPECT_EQ(0, ReadFile(h, nullptr, 4, &done, nullptr));
  EXPECT_EQ(0u, done);
  CloseFileHandle(h);
  EXPECT_EQ(0, ReadFile(nullptr, buf, 4, nullptr, nullptr));
  EXPECT_EQ(0, CloseFileHandle(nullptr));
}

TEST(MakeFullPath, JoinsWithBackslash) {
  struct Case {
    const wchar_t* folder;
    const wchar_t* name;
    const wchar_t* extension;
    const wchar_t* expected;
  } cases[] = {
      {L"D:\\data\\", L"a", L"txt", L"D:\\data\\a.txt"},
      {L"/tmp", L"a", nullptr, L"/tmp\\a"},
      {L"/tmp/", L"a", L"", L"/tmp/\\a"},
      {L"", L"a", L"x", L"a.x"},
      {nullptr, L"a", nullptr, L"a"},
  };
  for (const Case& c : cases) {
    wchar_t out[64];
    std::wmemset(out, L'#', 64);
    EXPECT_EQ(1, MakeFullPath(out, 64, c.folder, c.name, c.extension));
    EXPECT_STREQ(c.expected, out);
  }
}

TEST(MakeFullPath, RefusesWithoutTouchingOut) {
  wchar_t out[8];
  std::wmemset(out, L'#', 8);
  EXPECT_EQ(0, MakeFullPath(out, 8, L"d", L"", L"x"));
  EXPECT_EQ(0, MakeFullPath(out, 8, L"d", nullptr, L"x"));
  EXPECT_EQ(0, MakeFullPath(out, 0, L"d", L"a", L"x"));
  EXPECT_EQ(0, MakeFullPath(nullptr, 8, L"d", L"a", L"x"));
  // "ab\cd.xy" is 8 units and needs 9 with its terminator.
  EXPECT_EQ(0, MakeFullPath(out, 8, L"ab", L"cd", L"xy"));
  for (wchar_t c : out) ASSERT_EQ(L'#', c);
  EXPECT_EQ(1, MakeFullPath(out, 8, L"ab", L"cd", L"x"));
  EXPECT_STREQ(L"ab\\cd.x", out);
}

TEST(MakeFullPath, FolderAndNameBeyondTheFormattingLimitAreDropped) {
  std::wstring folder(1020, L'f');
  std::wstring out(2048, L'#');
  EXPECT_EQ(1, MakeFullPath(&out[0], 2048, folder.c_str(), L"ab", L"txt"));  // 1023 units
  EXPECT_EQ(folder + L"\\ab.txt", std::wstring(out.c_str()));
  EXPECT_EQ(1, MakeFullPath(&out[0], 2048, folder.c_str(), L"abc", L"txt"));  // 1024 units
  EXPECT_STREQ(L".txt", out.c_str());
}

TEST_F(FileHandleTest, CreateDirectoryExWalksTheChain) {
  std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(0, chdir(dir.Path().c_str()));
  int first = CreateDirectoryEx(L"x/y/z");
  errno = 0;
  int again = CreateDirectoryEx(L"x/y/z");
  int againErrno = errno;
  int doubled = CreateDirectoryEx(L"p//q/");
  int backslash = CreateDirectoryEx(L"b\\c");
  int separators = CreateDirectoryEx(L"///");
  int empty = CreateDirectoryEx(L"");
  int null = CreateDirectoryEx(nullptr);
  ASSERT_EQ(0, chdir(cwd.c_str()));

  EXPECT_EQ(1, first);
  EXPECT_EQ(0, again);
  EXPECT_EQ(EEXIST, againErrno);
  EXPECT_EQ(1, doubled);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("p/q")));
  EXPECT_EQ(1, backslash);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("b\\c")));
  EXPECT_EQ(0, separators);
  EXPECT_EQ(0, empty);
  EXPECT_EQ(0, null);

  std::wstring absolute = dir.WPath("abs/deep");
  EXPECT_EQ(1, CreateDirectoryEx(absolute.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("abs/deep")));
}

TEST_F(FileHandleTest, CreateDirectoryExRefusesPathsBeyondItsBuffers) {
  // 2046 bytes fit (the rebuilt path adds a '/'), 2047 do not; nothing is cut.
  std::string base = dir.Path("");
  auto pathOf = [&](size_t total) {
    std::string p = base;
    while (p.size() < total) p += (p.size() - base.size()) % 200 == 199 ? '/' : 'd';
    return p;
  };
  std::string fits = pathOf(2046), tooLong = pathOf(2047);
  if (fits.back() == '/' || tooLong.back() == '/') GTEST_SKIP() << "unlucky length";
  std::wstring wtooLong(tooLong.begin(), tooLong.end());
  EXPECT_EQ(0, CreateDirectoryEx(wtooLong.c_str()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  std::wstring wfits(fits.begin(), fits.end());
  EXPECT_EQ(1, CreateDirectoryEx(wfits.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(fits));
}

TEST(GetExeFolder, WritesTheFirstCommandLineArgument) {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  ASSERT_FALSE(first.empty());
  std::wstring out(2048, L'#');
  EXPECT_EQ(1, GetExeFolder(nullptr, &out[0]));
  EXPECT_EQ(std::wstring(first.begin(), first.end()), std::wstring(out.c_str()));
  EXPECT_EQ(0, GetExeFolder(nullptr, nullptr));
}

TEST(PlatformStubs, AnswerZero) {
  wchar_t out[4] = {L'#', 0, 0, 0};
  EXPECT_EQ(0, IsFileExist(L"/proc/self/cmdline"));
  EXPECT_EQ(0, CopyDirectoryEx(L"/a", L"/b"));
  EXPECT_EQ(0, RemoveDirectoryEx(L"/a", nullptr, 0));
  EXPECT_EQ(0, GetExeName(nullptr, out));
  EXPECT_EQ(L'#', out[0]);
}

}  // namespace
