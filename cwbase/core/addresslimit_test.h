// Test aid: real allocation failures. The checks run in a forked child (a
// gtest death test) whose address space is capped a few megabytes above what
// it already uses, so any larger allocation fails as it would on a machine
// out of memory. Sanitizer builds and valgrind abort on a failing allocation
// instead of reporting it, so the tests are skipped there.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CW_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define CW_TEST_SANITIZED 1
#endif
#endif

// True when `call` throws std::bad_alloc.
template <typename Call>
bool CWTestThrows(Call call) {
  try {
    call();
  } catch (const std::bad_alloc&) {
    return true;
  }
  return false;
}

// The pieces CWTestExhaustMemory took, chained through their first bytes.
inline void*& CWTestPieces() {
  static void* head = nullptr;
  return head;
}

// In the coverage build (CWBASE_COVERAGE) the child's counters are written
// out before it leaves with _Exit, which skips the exit-time writer; the
// writer needs memory, so the exhausting pieces are given back first.
#ifdef CWBASE_COVERAGE
extern "C" void __gcov_dump(void);
#endif
inline void CWTestChildExit(int code) {
#ifdef CWBASE_COVERAGE
  for (void* p = CWTestPieces(); p;) {
    void* next = *static_cast<void**>(p);
    std::free(p);
    p = next;
  }
  __gcov_dump();
#endif
  std::_Exit(code);
}

// Room left for allocations in the child; far below what the tests request.
constexpr unsigned long kCWTestHeadroom = 16ul << 20;

inline bool CWTestCanLimitAddressSpace() {
#ifdef CW_TEST_SANITIZED
  return false;
#else
  const char* preload = std::getenv("LD_PRELOAD");
  return !(preload && std::strstr(preload, "vgpreload"));  // valgrind
#endif
}

// Caps the address space at its present size plus the headroom.
inline bool CWTestLimitAddressSpace() {
  std::ifstream statm("/proc/self/statm");
  unsigned long pages = 0;
  if (!(statm >> pages)) return false;
  rlimit limit;
  limit.rlim_cur = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + kCWTestHeadroom;
  limit.rlim_max = RLIM_INFINITY;
  return setrlimit(RLIMIT_AS, &limit) == 0;
}

// Takes every byte the capped address space has left, from 1 MiB pieces
// down to every small size class (free chunks are kept per size), so that
// even the smallest allocation fails afterwards. The pieces stay taken until
// the child exits.
inline void CWTestExhaustMemory() {
  auto take = [](std::size_t size) {
    while (void* piece = std::malloc(size)) {
      *static_cast<void**>(piece) = CWTestPieces();
      CWTestPieces() = piece;
    }
  };
  for (std::size_t size = 1u << 20; size > 2048; size /= 2) take(size);
  for (std::size_t size = 2048; size >= sizeof(void*); size -= sizeof(void*)) take(size);
}

// Check inside the child: reports the failed condition (with write(2),
// which needs no memory) and exits with 1.
#define CW_CHILD_CHECK(cond)                                                             \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      const char message[] = __FILE__ ":" CW_TEST_STR(__LINE__) ": failed: " #cond "\n"; \
      ssize_t ignored = write(2, message, sizeof(message) - 1);                          \
      (void)ignored;                                                                     \
      CWTestChildExit(1);                                                                \
    }                                                                                    \
  } while (0)
#define CW_TEST_STR(x) CW_TEST_STR2(x)
#define CW_TEST_STR2(x) #x

// Runs `body()` (which checks with CW_CHILD_CHECK) in a child with a capped
// address space; the test fails unless the child exits with 0.
template <typename Body>
void CWRunWithAddressLimit(Body body) {
  if (!CWTestCanLimitAddressSpace()) GTEST_SKIP() << "the allocator aborts instead of failing here";
  EXPECT_EXIT(
      {
        CW_CHILD_CHECK(CWTestLimitAddressSpace());
        body();
        CWTestChildExit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
