// Whole-file helpers, file handles, paths and time on several threads at
// once, each thread with files of its own in one temporary directory.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "cwbase/platform/filecontent.h"
#include "cwbase/platform/filehandle.h"
#include "cwbase/platform/systime.h"
#include "testing/tempdir.h"
#include "testing/threads.h"

namespace {

TEST(Threads, IndependentFilesAndTimes) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  auto work = [&dir](unsigned salt) {
    std::string d;
    std::wstring path = dir.WPath("file" + std::to_string(salt));
    for (unsigned round = 0; round < 30; ++round) {
      std::string text = "thread " + std::to_string(salt) + " round " + std::to_string(round);
      CWBlock out(&text[0], text.size());
      d += std::to_string(WriteFileContent(path.c_str(), out));
      d += std::to_string(AppendFileContent(path.c_str(), out));
      CWBlock in;
      d += std::to_string(ReadFileContent(path.c_str(), in)) + ":";
      d.append(static_cast<const char*>(in.GetBuffer()), in.GetSize());
      d += ":" + std::to_string(GetFileSize(path.c_str()));
      wchar_t full[64];
      MakeFullPath(full, 64, L"dir", std::to_wstring(round).c_str(), L"txt");
      d += std::string(full, full + std::wcslen(full)) + ";";
      SYSTEMTIME a, b;
      GetLocalTime(&a);
      GetSystemTime(&b);
      FILETIME ft;
      SystemTimeToFileTime(&a, &ft);
      d += std::to_string(CompareDateTime(&a, &a));
    }
    return d;
  };
  ExpectSameOnThreads(work);
}

}  // namespace
