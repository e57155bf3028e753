// ReplaceFileContent: a temporary file beside the target, written, synced,
// closed and renamed over it.
#include "cwbase/platform/replacefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cwbase/platform/internal/replace_fault.h"
#include "cwbase/platform/pathconv.h"

namespace cwbase_internal {

namespace {
thread_local ReplaceFault t_Fault = nullptr;
thread_local void* t_FaultContext = nullptr;
}  // namespace

void SetReplaceFault(ReplaceFault fault, void* context) {
  t_Fault = fault;
  t_FaultContext = context;
}

}  // namespace cwbase_internal

namespace {

using cwbase_internal::ReplaceStep;

// The errno a test injects before `step`, or 0.
int Injected(ReplaceStep step) {
  using namespace cwbase_internal;
  return t_Fault ? t_Fault(step, t_FaultContext) : 0;
}

// Runs one step: the injected errno, else `call`'s result (0, or -1 with
// errno set) turned into 0 or errno.
template <typename Call>
int Step(ReplaceStep step, Call call) {
  if (int injected = Injected(step)) {
    errno = injected;
    return injected;
  }
  return call() == 0 ? 0 : (errno ? errno : EIO);
}

// Eight hex digits that differ between calls, threads and processes.
unsigned Suffix() {
  static std::atomic<unsigned> counter{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned x = static_cast<unsigned>(getpid()) * 2654435761u ^ static_cast<unsigned>(now.tv_nsec) ^
               (counter.fetch_add(1) * 40503u);
  x ^= x >> 15;
  x *= 2246822519u;
  return x ^ (x >> 13);
}

// Writes all `size` bytes in pieces, retrying after a signal.
int WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const size_t piece =
        size < cwbase_internal::kReplacePiece ? size : cwbase_internal::kReplacePiece;
    ssize_t written = 0;
    int failed = Step(ReplaceStep::kWrite, [&] {
      do written = write(fd, data, piece);
      while (written < 0 && errno == EINTR);
      return written < 0 ? -1 : 0;
    });
    if (failed) return failed;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

// The directory part of `path` ("." when it has none) and the name after it.
void Split(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *dir = ".";
    *name = path;
  } else {
    *dir = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

// Creates the temporary file in `dir` for the file `name`: its descriptor,
// or -1 with the errno in `*error` (and `*temp` empty).
int CreateTemporary(const std::string& dir, std::string name, std::string* temp, int* error) {
  // Room for the suffix within a name of 255 bytes.
  if (name.size() > 200) name.resize(200);
  const std::string base = (dir == "/" ? "/" : dir + "/") + "." + name + ".tmp-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "%08x", Suffix());
    *temp = base + suffix;
    int fd = -1;
    *error = Step(ReplaceStep::kCreate, [&] {
      fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      return fd < 0 ? -1 : 0;
    });
    if (*error == 0) return fd;
    if (*error != EEXIST) break;
  }
  temp->clear();
  return -1;
}

int Replace(const char* path, const unsigned char* data, size_t size) {
  std::string target = path;
  // A symbolic link: replace the file it names, keeping the link.
  struct stat info {};
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = realpath(path, nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = stat(target.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return errno = EISDIR;
  std::string dir, name, temp;
  Split(target, &dir, &name);

  // Nothing allocates once the temporary file exists, so it is always removed.
  int error = 0;
  const int fd = CreateTemporary(dir, name, &temp, &error);
  if (fd < 0) return error;
  if (exists) {
    // The old file's owner where the process may give it (an ordinary user
    // may not: the file is then the writer's), then its permissions, after
    // the owner since a change of owner may clear the set-id bits.
    if (fchown(fd, info.st_uid, info.st_gid) != 0) {
    }
    if (fchmod(fd, info.st_mode & 07777) != 0) error = errno;
  }
  if (!error) error = WriteAll(fd, data, size);
  if (!error) error = Step(ReplaceStep::kSync, [&] { return fsync(fd); });
  // Closed whatever happened; an injected failure comes after the close.
  int closed = close(fd) == 0 ? 0 : (errno ? errno : EIO);
  if (int injected = Injected(ReplaceStep::kClose)) closed = injected;
  if (!error) error = closed;
  if (!error)
    error = Step(ReplaceStep::kRename, [&] { return rename(temp.c_str(), target.c_str()); });
  if (error) {
    unlink(temp.c_str());
    errno = error;
    return error;
  }
  // Make the rename itself durable. Best effort: the file is replaced now.
  const int saved = errno;
  const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  errno = saved;
  return 0;
}

int ReplaceChecked(const char* path, const void* data, unsigned long size) {
  if (!path || (!data && size > 0)) return -1;
  try {
    return Replace(path, static_cast<const unsigned char*>(data), size);
  } catch (const std::bad_alloc&) {
    return errno = ENOMEM;
  }
}

}  // namespace

int ReplaceFileContent(const char* path, const void* data, unsigned long size) {
  return ReplaceChecked(path, data, size);
}

int ReplaceFileContent(const wchar_t* path, const void* data, unsigned long size) {
  if (!path) return -1;
  CWMultiBytePath converted(path, CW_PATH_WHOLE);
  return converted.Get() ? ReplaceChecked(converted.Get(), data, size) : -1;
}

int ReplaceFileContent(const char* path, const CWBlock& block) {
  return ReplaceChecked(path, block.GetBuffer(), block.GetSize());
}

int ReplaceFileContent(const wchar_t* path, const CWBlock& block) {
  return ReplaceFileContent(path, block.GetBuffer(), block.GetSize());
}
