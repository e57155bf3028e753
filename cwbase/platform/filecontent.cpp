#include "cwbase/platform/filecontent.h"

#include <cerrno>
#include <cstdint>
#include <new>

#include "cwbase/platform/pathconv.h"

namespace {

const unsigned int kUnmeasured = 0xFFFFFFFFu;

// An errno for a failure that must not read as success.
int ErrnoOr(int fallback) {
  return errno ? errno : fallback;
}

// Size of an open stream, the stream left where it was. 0 and the size in
// `size`, or the reason it could not be measured (ESPIPE for an unseekable
// stream, EFBIG for 2 GiB or more, which a 32-bit offset cannot carry).
int MeasureStream(std::FILE* stream, long* size) {
  long here = std::ftell(stream);
  if (here < 0) return ErrnoOr(ESPIPE);
  if (std::fseek(stream, 0, SEEK_END) != 0) return ErrnoOr(ESPIPE);
  long end = std::ftell(stream);
  int failure = end < 0 ? ErrnoOr(ESPIPE) : 0;
  std::fseek(stream, here, SEEK_SET);
  if (failure) return failure;
  if (end > INT32_MAX) return EFBIG;
  *size = end;
  return 0;
}

// Sizes the block to the file (SetSize keeps or replaces the storage) and
// fills it with one fread. An empty file leaves the block untouched.
int FillBlock(std::FILE* file, long size, CWBlock& block) {
  if (size > 0) {
    try {
      block.SetSize(static_cast<unsigned long>(size));
    } catch (const std::bad_alloc&) {
      return ENOMEM;  // SetSize changed nothing
    }
    if (std::fread(block.GetBuffer(), 1, static_cast<std::size_t>(size), file) > 0) return 0;
  }
  return errno;
}

int ReadPath(const char* path, CWBlock& block) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return errno;
  long size = 0;
  int result = MeasureStream(file, &size);
  if (result == 0) result = FillBlock(file, size, block);
  std::fclose(file);
  return result;
}

// One fwrite of the block's data; the result as the content operations give
// it. Closes the stream.
int WriteBlock(std::FILE* file, CWBlock& block) {
  std::size_t written = 0;
  if (block.GetBuffer() && block.GetSize() > 0)
    written = std::fwrite(block.GetBuffer(), 1, block.GetSize(), file);
  int result = written > 0 ? 0 : errno;
  std::fclose(file);
  return result;
}

int WritePath(const char* path, CWBlock& block) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return errno;
  return WriteBlock(file, block);
}

int AppendPath(const char* path, CWBlock& block) {
  std::FILE* file = std::fopen(path, "ab");
  if (!file) return -1;
  std::fseek(file, 0, SEEK_END);
  return WriteBlock(file, block);
}

// Runs a content operation on a wide path: -1 for a null or refused path.
int WithWidePath(const wchar_t* path, CWBlock& block, int (*operation)(const char*, CWBlock&)) {
  if (!path) return -1;
  CWMultiBytePath converted(path);
  if (!converted.Get()) return -1;
  return operation(converted.Get(), block);
}

}  // namespace

int ReadFileContent(const wchar_t* path, CWBlock& block) {
  return WithWidePath(path, block, ReadPath);
}

int ReadFileContent(const char* path, CWBlock& block) {
  return path ? ReadPath(path, block) : -1;
}

int WriteFileContent(const wchar_t* path, CWBlock& block) {
  return WithWidePath(path, block, WritePath);
}

int WriteFileContent(const char* path, CWBlock& block) {
  return path ? WritePath(path, block) : -1;
}

int AppendFileContent(const wchar_t* path, CWBlock& block) {
  return WithWidePath(path, block, AppendPath);
}

int AppendFileContent(const char* path, CWBlock& block) {
  return path ? AppendPath(path, block) : -1;
}

unsigned int GetFileSize(std::FILE* stream) {
  if (!stream) return 0;
  long size = 0;
  if (MeasureStream(stream, &size) != 0) return kUnmeasured;
  return static_cast<unsigned int>(size);
}

unsigned int GetFileSize(const wchar_t* path) {
  if (!path) return 0;
  CWMultiBytePath converted(path);
  if (!converted.Get()) return 0;
  std::FILE* file = std::fopen(converted.Get(), "rb");
  if (!file) return 0;
  unsigned int size = GetFileSize(file);
  std::fclose(file);
  return size;
}

unsigned long long GetDiskFreeBytes(const wchar_t*) {
  return ~0ULL;
}

unsigned long long GetDiskTotalBytes(const wchar_t*) {
  return ~0ULL;
}
