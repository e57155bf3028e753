// Whole-file reading from sources that cannot be measured or loaded: a named
// pipe, and a file whose storage cannot be allocated (a capped address
// space, see core/addresslimit_test.h). Each answers a clear error and leaves
// the block exactly as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cwbase/platform/filecontent.h"
#include "testing/addresslimit.h"
#include "testing/tempdir.h"

namespace {

bool Kept(CWBlock& block) {
  return block.GetSize() == 4 && block.GetCapacity() == 4 &&
         std::memcmp(block.GetBuffer(), "keep", 4) == 0;
}

TEST(HostileFiles, NamedPipeIsRefusedAndBlockKept) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  std::string fifo = dir.Path("fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // Held open for reading and writing, so opening it again does not wait.
  int held = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(held, 0);
  ASSERT_EQ(3, write(held, "abc", 3));
  CWBlock block(const_cast<char*>("keep"), 4);
  EXPECT_EQ(ESPIPE, ReadFileContent(fifo.c_str(), block));
  EXPECT_EQ(ESPIPE, ReadFileContent(dir.WPath("fifo").c_str(), block));
  EXPECT_TRUE(Kept(block));
  EXPECT_EQ(0xFFFFFFFFu, GetFileSize(dir.WPath("fifo").c_str()));
  close(held);
}

TEST(HostileFiles, ProcFileOfSizeZeroReadsAsEmpty) {
  CWBlock block(const_cast<char*>("keep"), 4);
  errno = EINTR;  // the answer is the errno the caller left
  EXPECT_EQ(EINTR, ReadFileContent("/proc/self/status", block));
  EXPECT_TRUE(Kept(block));
  // Through its descriptor a pipe is refused as above, not read as empty.
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  EXPECT_EQ(ESPIPE, ReadFileContent(("/proc/self/fd/" + std::to_string(fds[0])).c_str(), block));
  EXPECT_TRUE(Kept(block));
  close(fds[0]);
  close(fds[1]);
}

TEST(HostileFiles, UnallocatableFileAnswersEnomemAndBlockKept) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  std::string path = dir.Path("sparse");
  int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, 64 << 20));  // 64 MiB, no blocks used
  close(fd);
  CWRunWithAddressLimit([&] {
    CWBlock block(const_cast<char*>("keep"), 4);
    CW_TEST_CHILD_CHECK(ReadFileContent(path.c_str(), block) == ENOMEM && Kept(block));
    std::wstring wide(path.begin(), path.end());
    CW_TEST_CHILD_CHECK(ReadFileContent(wide.c_str(), block) == ENOMEM && Kept(block));
    // With no memory left at all, not even the converted path can be had.
    CWTestExhaustMemory();
    CW_TEST_CHILD_CHECK(ReadFileContent(wide.c_str(), block) == -1 && Kept(block));
  });
}

}  // namespace
