#include "cwbase/platform/filecontent.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "cwbase/platform/tempdir_test.h"

namespace {

class FileContentTest : public ::testing::Test {
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

std::string Data(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

TEST_F(FileContentTest, ReadKeepsLargeEnoughStorageAndZeroesItsTail) {
  Put("ten", "0123456789");
  CWBlock block;
  block.SetSize(64);
  block.SetSize(40);
  std::memset(block.GetBuffer(), 0xAA, 40);
  void* storage = block.GetBuffer();

  EXPECT_EQ(0, ReadFileContent(dir.Path("ten").c_str(), block));
  EXPECT_EQ(storage, block.GetBuffer());
  EXPECT_EQ(64u, block.GetCapacity());
  EXPECT_EQ("0123456789", Data(block));
  const unsigned char* bytes = static_cast<const unsigned char*>(block.GetBuffer());
  for (int i = 10; i < 64; ++i) ASSERT_EQ(0, bytes[i]) << "byte " << i;
}

TEST_F(FileContentTest, ReadGrowsStorageToExactlyTheFileSize) {
  Put("ten", "0123456789");
  CWBlock empty;
  EXPECT_EQ(0, ReadFileContent(dir.WPath("ten").c_str(), empty));
  EXPECT_EQ(10u, empty.GetCapacity());
  EXPECT_EQ("0123456789", Data(empty));

  CWBlock small(const_cast<char*>("wxyz"), 4);
  EXPECT_EQ(0, ReadFileContent(dir.Path("ten").c_str(), small));
  EXPECT_EQ(10u, small.GetCapacity());
  EXPECT_EQ("0123456789", Data(small));
}

TEST_F(FileContentTest, EmptyFileLeavesBlockUntouchedAndAnswersErrno) {
  Put("empty", "");
  CWBlock block(const_cast<char*>("keep"), 4);
  void* storage = block.GetBuffer();
  for (int wide = 0; wide < 2; ++wide) {
    errno = EINTR;
    int result = wide ? ReadFileContent(dir.WPath("empty").c_str(), block)
                      : ReadFileContent(dir.Path("empty").c_str(), block);
    EXPECT_EQ(EINTR, result);
    EXPECT_EQ(storage, block.GetBuffer());
    EXPECT_EQ(4u, block.GetCapacity());
    EXPECT_EQ("keep", Data(block));
  }
}

TEST_F(FileContentTest, ResultsForNullAndMissingPaths) {
  CWBlock block(const_cast<char*>("abc"), 3);
  std::string missing = dir.Path("no/such/file");
  std::wstring wmissing = dir.WPath("no/such/file");
  struct Case {
    const char* what;
    int (*narrow)(const char*, CWBlock&);
    int (*wide)(const wchar_t*, CWBlock&);
    int whenMissing;
  } cases[] = {
      {"read", ReadFileContent, ReadFileContent, ENOENT},
      {"write", WriteFileContent, WriteFileContent, ENOENT},
      {"append", AppendFileContent, AppendFileContent, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(-1, c.narrow(nullptr, block));
    EXPECT_EQ(-1, c.wide(nullptr, block));
    EXPECT_EQ(c.whenMissing, c.narrow(missing.c_str(), block));
    EXPECT_EQ(c.whenMissing, c.wide(wmissing.c_str(), block));
    EXPECT_EQ("abc", Data(block));
  }
}

TEST_F(FileContentTest, WriteCreatesAndCutsAppendAddsAtTheEnd) {
  CWBlock abc(const_cast<char*>("abc"), 3);
  Put("w", "a much longer old content");
  EXPECT_EQ(0, WriteFileContent(dir.WPath("w").c_str(), abc));
  EXPECT_EQ("abc", Get("w"));

  EXPECT_EQ(0, AppendFileContent(dir.WPath("a").c_str(), abc));
  EXPECT_EQ(0, AppendFileContent(dir.Path("a").c_str(), abc));
  EXPECT_EQ("abcabc", Get("a"));

  CWBlock empty;
  errno = EINTR;
  EXPECT_EQ(EINTR, WriteFileContent(dir.Path("w").c_str(), empty));
  EXPECT_TRUE(Exists("w"));
  EXPECT_EQ("", Get("w"));
  errno = EINTR;
  EXPECT_EQ(EINTR, AppendFileContent(dir.Path("a").c_str(), empty));
  EXPECT_EQ("abcabc", Get("a"));
}

TEST_F(FileContentTest, UnmeasurableStreamIsRefusedAndBlockKept) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(3, write(fds[1], "abc", 3));
  std::string viaProc = "/proc/self/fd/" + std::to_string(fds[0]);
  CWBlock block(const_cast<char*>("keep"), 4);
  EXPECT_EQ(ESPIPE, ReadFileContent(viaProc.c_str(), block));
  EXPECT_EQ("keep", Data(block));
  std::FILE* stream = fdopen(fds[0], "rb");
  ASSERT_NE(nullptr, stream);
  EXPECT_EQ(0xFFFFFFFFu, GetFileSize(stream));
  std::fclose(stream);
  close(fds[1]);
}

TEST_F(FileContentTest, FileOfTwoGibibytesIsRefused) {
  std::string big = dir.Path("big");
  std::FILE* f = std::fopen(big.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  bool sparse = ftruncate(fileno(f), 0x80000000L) == 0;
  std::fclose(f);
  if (!sparse) GTEST_SKIP() << "cannot make a 2 GiB sparse file here";
  CWBlock block(const_cast<char*>("keep"), 4);
  EXPECT_EQ(EFBIG, ReadFileContent(big.c_str(), block));
  EXPECT_EQ("keep", Data(block));
  EXPECT_EQ(0xFFFFFFFFu, GetFileSize(dir.WPath("big").c_str()));
}

TEST_F(FileContentTest, GetFileSizeKeepsPositionAndAnswersZeroForNothing) {
  Put("ten", "0123456789");
  std::FILE* f = std::fopen(dir.Path("ten").c_str(), "rb");
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(0, std::fseek(f, 3, SEEK_SET));
  EXPECT_EQ(10u, GetFileSize(f));
  EXPECT_EQ(3, std::ftell(f));
  std::fclose(f);

  EXPECT_EQ(10u, GetFileSize(dir.WPath("ten").c_str()));
  EXPECT_EQ(0u, GetFileSize(static_cast<std::FILE*>(nullptr)));
  EXPECT_EQ(0u, GetFileSize(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(0u, GetFileSize(dir.WPath("missing").c_str()));
}

TEST_F(FileContentTest, WidePathThatDoesNotFitIsRefusedNotCut) {
  const char* saved = std::setlocale(LC_ALL, nullptr);
  std::string restore = saved ? saved : "C";
  CWBlock abc(const_cast<char*>("abc"), 3);
  // U+00E9 needs two bytes in UTF-8 and has no form at all in "C".
  for (const char* locale : {"C.UTF-8", "C"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    SCOPED_TRACE(locale);
    std::wstring name = dir.WPath("caf\u00e9");
    EXPECT_EQ(-1, WriteFileContent(name.c_str(), abc));
    EXPECT_EQ(-1, AppendFileContent(name.c_str(), abc));
    EXPECT_EQ(-1, ReadFileContent(name.c_str(), abc));
    EXPECT_EQ(0u, GetFileSize(name.c_str()));
    EXPECT_FALSE(Exists("caf"));
  }
  std::setlocale(LC_ALL, restore.c_str());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(FileContentTest, NameStartingWithDigitZeroIsOrdinary) {
  std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(0, chdir(dir.Path().c_str()));
  CWBlock abc(const_cast<char*>("abc"), 3);
  int result = WriteFileContent(L"0.txt", abc);
  ASSERT_EQ(0, chdir(cwd.c_str()));
  EXPECT_EQ(0, result);
  EXPECT_EQ("abc", Get("0.txt"));
}

TEST(DiskQueries, AnswerAllBitsSet) {
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskFreeBytes(nullptr));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskTotalBytes(L"/"));
}

}  // namespace
