#include "cwbase/platform/pathconv.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

int ConvertWidePath(const wchar_t* path, char* out, size_t limit) {
  if (!path || !out) return 0;
  // Measure first, so that a path that does not fit is refused rather than
  // cut after its last whole character.
  size_t need = std::wcstombs(nullptr, path, 0);
  if (need == static_cast<size_t>(-1) || need > limit) return 0;
  std::memset(out, 0, limit + 1);
  std::wcstombs(out, path, need);
  return 1;
}

CWMultiBytePath::CWMultiBytePath(const wchar_t* path)
    : CWMultiBytePath(path, path ? std::wcslen(path) : 0) {}

CWMultiBytePath::CWMultiBytePath(const wchar_t* path, size_t limit) : m_pPath(nullptr) {
  if (!path) return;
  if (limit == CW_PATH_WHOLE) {
    limit = std::wcstombs(nullptr, path, 0);
    if (limit == static_cast<size_t>(-1)) return;  // not representable
  }
  char* buffer = new (std::nothrow) char[limit + 1];
  if (!buffer) return;
  if (ConvertWidePath(path, buffer, limit))
    m_pPath = buffer;
  else
    delete[] buffer;
}

CWMultiBytePath::~CWMultiBytePath() {
  delete[] m_pPath;
}
