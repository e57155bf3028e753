// ReplaceFileContent: the target holds the old content or the new one,
// never part of one, and no temporary file stays behind, whichever step
// fails (failures injected, since permissions do not stop root).
#include "cwbase/platform/replacefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cwbase/platform/internal/replace_fault.h"
#include "testing/tempdir.h"

namespace {

using cwbase_internal::ReplaceStep;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t Entries(const std::string& dir) {
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.path().empty() ? 0 : 1;
  return n;
}

// Fails `step` with `error` on its `nth` call (0 the first).
struct Fault {
  ReplaceStep step;
  int nth;
  int error;
  int seen = 0;
};

int Inject(ReplaceStep step, void* context) {
  auto* f = static_cast<Fault*>(context);
  return step == f->step && f->seen++ == f->nth ? f->error : 0;
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  void TearDown() override { cwbase_internal::SetReplaceFault(nullptr, nullptr); }
  CWTestDir m_Dir;
};

TEST_F(ReplaceFileTest, FailureAtEveryStepKeepsTheOldFile) {
  ASSERT_TRUE(m_Dir.Ok());
  const std::string path = m_Dir.Path("f.xml");
  const std::string old = "old content\n";
  ASSERT_EQ(0, ReplaceFileContent(path.c_str(), old.data(), old.size()));
  // Three pieces, so that a write fails after one reached the temporary file.
  const std::string fresh(2 * cwbase_internal::kReplacePiece + 10, 'n');
  const Fault faults[] = {
      {ReplaceStep::kCreate, 0, EACCES}, {ReplaceStep::kWrite, 0, ENOSPC},
      {ReplaceStep::kWrite, 1, ENOSPC},  {ReplaceStep::kWrite, 2, EIO},
      {ReplaceStep::kSync, 0, EIO},      {ReplaceStep::kClose, 0, EDQUOT},
      {ReplaceStep::kRename, 0, EXDEV},
  };
  for (Fault f : faults) {
    cwbase_internal::SetReplaceFault(Inject, &f);
    EXPECT_EQ(f.error, ReplaceFileContent(path.c_str(), fresh.data(), fresh.size()))
        << static_cast<int>(f.step) << " " << f.nth;
    EXPECT_EQ(f.error, errno);
    EXPECT_TRUE(old == Read(path)) << "the old file changed";
    EXPECT_EQ(1u, Entries(m_Dir.Path())) << "a temporary file stayed";
  }
  // A create that meets an existing name tries another one.
  Fault once{ReplaceStep::kCreate, 0, EEXIST};
  once.seen = 0;
  cwbase_internal::SetReplaceFault(
      [](ReplaceStep step, void* c) {
        auto* f = static_cast<Fault*>(c);
        return step == ReplaceStep::kCreate && f->seen++ < 3 ? EEXIST : 0;
      },
      &once);
  EXPECT_EQ(0, ReplaceFileContent(path.c_str(), fresh.data(), fresh.size()));
  EXPECT_TRUE(fresh == Read(path)) << "the new file is not whole";
  EXPECT_EQ(1u, Entries(m_Dir.Path()));
}

TEST_F(ReplaceFileTest, KeepsModeAndFollowsLinks) {
  ASSERT_TRUE(m_Dir.Ok());
  const std::string real = m_Dir.Path("real"), link = m_Dir.Path("link");
  ASSERT_EQ(0, ReplaceFileContent(real.c_str(), "a", 1));
  ASSERT_EQ(0, chmod(real.c_str(), 0640));
  ASSERT_EQ(0, symlink("real", link.c_str()));
  ASSERT_EQ(0, ReplaceFileContent(link.c_str(), "bc", 2));
  struct stat info {};
  ASSERT_EQ(0, lstat(link.c_str(), &info));
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(0, stat(real.c_str(), &info));
  EXPECT_EQ(0640u, info.st_mode & 07777);
  EXPECT_EQ("bc", Read(real));
  EXPECT_EQ(2u, Entries(m_Dir.Path()));
}

TEST_F(ReplaceFileTest, RefusalsAndPaths) {
  ASSERT_TRUE(m_Dir.Ok());
  EXPECT_EQ(-1, ReplaceFileContent(static_cast<const char*>(nullptr), "a", 1));
  EXPECT_EQ(-1, ReplaceFileContent(m_Dir.Path("x").c_str(), nullptr, 1));
  EXPECT_EQ(EISDIR, ReplaceFileContent(m_Dir.Path().c_str(), "a", 1));
  EXPECT_EQ(ENOENT, ReplaceFileContent(m_Dir.Path("no/x").c_str(), "a", 1));
  EXPECT_EQ(0u, Entries(m_Dir.Path()));
  // An empty content makes an empty file; a block is written whole.
  CWBlock empty;
  EXPECT_EQ(0, ReplaceFileContent(m_Dir.Path("e").c_str(), empty));
  EXPECT_EQ("", Read(m_Dir.Path("e")));
  const CWBlock block("xyz", 3);
  EXPECT_EQ(0, ReplaceFileContent(m_Dir.WPath("b").c_str(), block));
  EXPECT_EQ("xyz", Read(m_Dir.Path("b")));
}

}  // namespace
