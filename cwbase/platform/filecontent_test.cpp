#include "cwbase/platform/filecontent.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/scopes.h"
#include "testing/tempdir.h"

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
  CWTestDir dir;
};

std::string Data(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

TEST_F(FileContentTest, ReadSizesTheBlockAsSetSizeDoes) {
  Put("ten", "0123456789");
  CWBlock roomy;  // capacity 64, length 40, data bytes set
  roomy.SetSize(64);
  roomy.SetSize(40);
  std::memset(roomy.GetBuffer(), 0xAA, 40);
  void* storage = roomy.GetBuffer();
  EXPECT_EQ(0, ReadFileContent(dir.Path("ten").c_str(), roomy));
  EXPECT_EQ(storage, roomy.GetBuffer());
  EXPECT_EQ(64u, roomy.GetCapacity());
  EXPECT_EQ("0123456789", Data(roomy));
  const unsigned char* bytes = static_cast<const unsigned char*>(roomy.GetBuffer());
  for (int i = 10; i < 64; ++i) ASSERT_EQ(0, bytes[i]) << "byte " << i;

  CWBlock none, small(const_cast<char*>("wxyz"), 4);
  for (CWBlock* block : {&none, &small}) {
    EXPECT_EQ(0, ReadFileContent(dir.WPath("ten").c_str(), *block));
    EXPECT_EQ(10u, block->GetCapacity());
    EXPECT_EQ("0123456789", Data(*block));
  }
}

TEST_F(FileContentTest, EmptyFileLeavesBlockUntouchedAndAnswersErrno) {
  Put("empty", "");
  CWBlock block(const_cast<char*>("keep"), 4);
  void* storage = block.GetBuffer();
  errno = EINTR;
  EXPECT_EQ(EINTR, ReadFileContent(dir.Path("empty").c_str(), block));
  errno = EDOM;
  EXPECT_EQ(EDOM, ReadFileContent(dir.WPath("empty").c_str(), block));
  EXPECT_EQ(storage, block.GetBuffer());
  EXPECT_EQ(4u, block.GetCapacity());
  EXPECT_EQ("keep", Data(block));
}

TEST_F(FileContentTest, ResultsForNullAndMissingPaths) {
  CWBlock block(const_cast<char*>("abc"), 3);
  std::string missing = dir.Path("no/such/file");
  std::wstring wmissing = dir.WPath("no/such/file");
  struct Case {
    int (*narrow)(const char*, CWBlock&);
    int (*wide)(const wchar_t*, CWBlock&);
    int whenMissing;
  } cases[] = {{ReadFileContent, ReadFileContent, ENOENT},
               {WriteFileContent, WriteFileContent, ENOENT},
               {AppendFileContent, AppendFileContent, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(-1, c.narrow(nullptr, block));
    EXPECT_EQ(-1, c.wide(nullptr, block));
    EXPECT_EQ(c.whenMissing, c.narrow(missing.c_str(), block));
    EXPECT_EQ(c.whenMissing, c.wide(wmissing.c_str(), block));
  }
  EXPECT_EQ("abc", Data(block));
}

TEST_F(FileContentTest, WriteCutsAndAppendAddsAtTheEnd) {
  CWBlock abc(const_cast<char*>("abc"), 3), empty;
  Put("w", "a much longer old content");
  EXPECT_EQ(0, WriteFileContent(dir.WPath("w").c_str(), abc));
  EXPECT_EQ("abc", Get("w"));
  EXPECT_EQ(0, AppendFileContent(dir.WPath("a").c_str(), abc));
  EXPECT_EQ(0, AppendFileContent(dir.Path("a").c_str(), abc));
  EXPECT_EQ("abcabc", Get("a"));

  errno = EINTR;
  EXPECT_EQ(EINTR, WriteFileContent(dir.Path("w").c_str(), empty));
  EXPECT_EQ(0, access(dir.Path("w").c_str(), F_OK));
  EXPECT_EQ("", Get("w"));
  EXPECT_EQ(EINTR, AppendFileContent(dir.Path("a").c_str(), empty));
  EXPECT_EQ("abcabc", Get("a"));
}

TEST_F(FileContentTest, UnmeasurableStreamsAreRefusedAndBlockKept) {
  CWBlock block(const_cast<char*>("keep"), 4);
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(3, write(fds[1], "abc", 3));
  EXPECT_EQ(ESPIPE, ReadFileContent(("/proc/self/fd/" + std::to_string(fds[0])).c_str(), block));
  std::FILE* stream = fdopen(fds[0], "rb");
  ASSERT_NE(nullptr, stream);
  EXPECT_EQ(0xFFFFFFFFu, GetFileSize(stream));
  std::fclose(stream);
  close(fds[1]);

  std::FILE* big = std::fopen(dir.Path("big").c_str(), "wb");
  ASSERT_NE(nullptr, big);
  bool sparse = ftruncate(fileno(big), 0x80000000L) == 0;  // 2 GiB
  std::fclose(big);
  if (sparse) {
    EXPECT_EQ(EFBIG, ReadFileContent(dir.Path("big").c_str(), block));
    EXPECT_EQ(0xFFFFFFFFu, GetFileSize(dir.WPath("big").c_str()));
  }
  EXPECT_EQ("keep", Data(block));
}

TEST_F(FileContentTest, SizeQueries) {
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
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskFreeBytes(nullptr));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFULL, GetDiskTotalBytes(L"/"));
}

TEST_F(FileContentTest, WidePathsAreConvertedInFullOrRefused) {
  CWBlock abc(const_cast<char*>("abc"), 3);
  // U+00E9 needs two bytes in UTF-8 (one per unit is not enough), none in "C".
  for (const char* name : {"C.UTF-8", "C"}) {
    CWTestLocale locale(name);
    if (!locale.Ok()) continue;
    std::wstring path = dir.WPath("caf\u00e9");
    EXPECT_EQ(-1, WriteFileContent(path.c_str(), abc)) << name;
    EXPECT_EQ(-1, AppendFileContent(path.c_str(), abc)) << name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));  // nothing cut to "caf"

  // A leading digit 0 is an ordinary first character.
  std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(0, chdir(dir.Path().c_str()));
  int result = WriteFileContent(L"0.txt", abc);
  ASSERT_EQ(0, chdir(cwd.c_str()));
  EXPECT_EQ(0, result);
  EXPECT_EQ("abc", Get("0.txt"));
}

}  // namespace
