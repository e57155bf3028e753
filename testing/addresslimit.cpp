#include "testing/addresslimit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// The pieces CWTestExhaustMemory took, chained through their first bytes.
void* g_pieces = nullptr;

}  // namespace

#ifdef CWBASE_COVERAGE
extern "C" void __gcov_dump(void);
#endif

void CWTestChildExit(int code) {
#ifdef CWBASE_COVERAGE
  for (void* p = g_pieces; p;) {
    void* next = *static_cast<void**>(p);
    std::free(p);
    p = next;
  }
  g_pieces = nullptr;
  __gcov_dump();
#endif
  std::_Exit(code);
}

bool CWTestCanLimitAddressSpace() {
#ifdef CW_TEST_SANITIZED
  return false;
#else
  const char* preload = std::getenv("LD_PRELOAD");
  return !(preload && std::strstr(preload, "vgpreload"));  // valgrind
#endif
}

bool CWTestLimitAddressSpace() {
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  if (!(statm >> pages)) return false;
  rlimit limit;
  limit.rlim_cur = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + kCWTestHeadroom;
  limit.rlim_max = RLIM_INFINITY;
  return setrlimit(RLIMIT_AS, &limit) == 0;
}

void CWTestExhaustMemory() {
  auto take = [](std::size_t size) {
    while (void* piece = std::malloc(size)) {
      *static_cast<void**>(piece) = g_pieces;
      g_pieces = piece;
    }
  };
  for (std::size_t size = 1u << 20; size > 2048; size /= 2) take(size);
  for (std::size_t size = 2048; size >= sizeof(void*); size -= sizeof(void*)) take(size);
}
