#include "cwbase/platform/filehandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "cwbase/core/internal/wide_format.h"
#include "cwbase/platform/pathconv.h"

namespace {

const unsigned long kGenericRead = 0x80000000UL;
const unsigned long kGenericWrite = 0x40000000UL;
const unsigned long kGenericAll = 0x10000000UL;

// Opens for reading and writing, creating a missing file and keeping the
// content of an existing one, in a single open call.
std::FILE* OpenReadWrite(const char* path) {
  int fd = open(path, O_RDWR | O_CREAT, 0666);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, "r+b");
  if (!stream) close(fd);
  return stream;
}

// Moves nothing and reports it, for a call without a stream or a buffer.
int NothingMoved(unsigned long* done) {
  if (done) *done = 0;
  return 0;
}

}  // namespace

void* CreateFile(const wchar_t* name, unsigned long access, unsigned long, void*, unsigned long,
                 unsigned long, void*) {
  if (!name) return nullptr;
  bool read = access & kGenericRead;
  bool write = access & kGenericWrite;
  if (access & kGenericAll) read = write = true;
  if (!read && !write) return nullptr;
  CWMultiBytePath converted(name);
  if (!converted.Get()) return nullptr;
  if (read && write) return OpenReadWrite(converted.Get());
  return std::fopen(converted.Get(), read ? "rb" : "wb");
}

int ReadFile(void* handle, void* buffer, unsigned long count, unsigned long* done, void*) {
  if (!handle || (!buffer && count > 0)) return NothingMoved(done);
  std::size_t got = count ? std::fread(buffer, 1, count, static_cast<std::FILE*>(handle)) : 0;
  if (done) *done = got;
  return got > 0 ? 1 : 0;
}

int WriteFile(void* handle, void* buffer, unsigned long count, unsigned long* done, void*) {
  if (!handle || (!buffer && count > 0)) return NothingMoved(done);
  std::size_t put = count ? std::fwrite(buffer, 1, count, static_cast<std::FILE*>(handle)) : 0;
  if (done) *done = put;
  return put > 0 ? 1 : 0;
}

int CloseFileHandle(void* handle) {
  if (handle) std::fclose(static_cast<std::FILE*>(handle));
  return 0;
}

int MakeFullPath(wchar_t* out, int size, const wchar_t* folder, const wchar_t* name,
                 const wchar_t* extension) {
  if (size < 1 || !out || !name || !*name) return 0;
  // The joined folder and name must fit the formatting helper's 1024 units,
  // terminator included; a longer path is refused rather than cut.
  std::size_t folderLength = folder ? std::wcslen(folder) : 0;
  bool separator = folderLength && folder[folderLength - 1] != L'\\';
  if (folderLength + separator + std::wcslen(name) >= cwbase_internal::kWideFormatLimit) return 0;
  wchar_t joined[cwbase_internal::kWideFormatLimit];
  if (!folder || !*folder)
    cwbase_internal::FormatWide(joined, L"%ls", name);
  else if (!separator)
    cwbase_internal::FormatWide(joined, L"%ls%ls", folder, name);
  else
    cwbase_internal::FormatWide(joined, L"%ls\\%ls", folder, name);

  std::size_t joinedLength = std::wcslen(joined);
  bool withExtension = extension && *extension;
  std::size_t extensionLength = withExtension ? std::wcslen(extension) : 0;
  std::size_t total = joinedLength + (withExtension ? 1 + extensionLength : 0);
  if (total >= static_cast<std::size_t>(size)) return 0;

  std::wmemcpy(out, joined, joinedLength);
  if (withExtension) {
    out[joinedLength] = L'.';
    std::wmemcpy(out + joinedLength + 1, extension, extensionLength);
  }
  out[total] = L'\0';
  return 1;
}

int CreateDirectoryEx(const wchar_t* path) {
  if (!path || !*path) return 0;
  // The rebuilt path may hold one '/' more than the converted one (after its
  // last component), so the converted path may take 2046 of the 2048 bytes.
  char converted[2048];
  if (!ConvertWidePath(path, converted, sizeof converted - 2)) return 0;

  char rebuilt[2048];
  std::size_t used = 0;
  if (converted[0] == '/') rebuilt[used++] = '/';
  char* save = nullptr;
  char* part = strtok_r(converted, "/", &save);
  if (!part) return 0;
  int made = 0;
  while (part) {
    std::size_t length = std::strlen(part);
    std::memcpy(rebuilt + used, part, length);
    used += length;
    rebuilt[used] = '\0';
    made = mkdir(rebuilt, 0775) == 0;
    rebuilt[used++] = '/';
    part = strtok_r(nullptr, "/", &save);
  }
  return made;
}

int GetExeFolder(void*, wchar_t* out) {
  if (!out) return 0;
  char fileName[128];
  std::snprintf(fileName, sizeof fileName, "/proc/%i/cmdline", static_cast<int>(getpid()));
  std::FILE* file = std::fopen(fileName, "r");
  if (!file) return 0;
  char line[2048] = {0};
  bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  if (!read || line[0] == '\0') return 0;
  // The arguments are separated by zero bytes: the string is the first one.
  std::size_t units = std::mbstowcs(nullptr, line, 0);
  if (units == static_cast<std::size_t>(-1)) return 0;
  std::mbstowcs(out, line, units + 1);
  return 1;
}

int CopyDirectoryEx(const wchar_t*, const wchar_t*) {
  return 0;
}

int RemoveDirectoryEx(const wchar_t*, wchar_t**, long) {
  return 0;
}

int GetExeName(void*, wchar_t*) {
  return 0;
}

int IsFileExist(const wchar_t*) {
  return 0;
}
