// Test aid: real allocation failures. The checks run in a forked child (a
// gtest death test) whose address space is capped a few megabytes above what
// it already uses, so any larger allocation fails as it would on a machine
// out of memory. Sanitizer builds and valgrind abort on a failing allocation
// instead of reporting it, so the tests are skipped there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

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

// Leaves the child process with `code`. In the coverage build
// (CWBASE_COVERAGE) the child's counters are written out first: _Exit skips
// the exit-time writer, and the writer needs memory, so the exhausting pieces
// are given back before it runs.
[[noreturn]] void CWTestChildExit(int code);

// Room left for allocations in the child; far below what the tests request.
constexpr unsigned long kCWTestHeadroom = 16ul << 20;

// False where the allocator aborts instead of failing (sanitizers, valgrind).
bool CWTestCanLimitAddressSpace();

// Caps the address space at its present size plus the headroom.
bool CWTestLimitAddressSpace();

// Takes every byte the capped address space has left, from 1 MiB pieces
// down to every small size class (free chunks are kept per size), so that
// even the smallest allocation fails afterwards. The pieces stay taken until
// the child exits.
void CWTestExhaustMemory();

// Check inside the child: reports the failed condition (with write(2),
// which needs no memory) and exits with 1.
#define CW_TEST_CHILD_CHECK(cond)                                                        \
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

// Runs `body()` (which checks with CW_TEST_CHILD_CHECK) in a child with a capped
// address space; the test fails unless the child exits with 0.
template <typename Body>
void CWRunWithAddressLimit(Body body) {
  if (!CWTestCanLimitAddressSpace()) GTEST_SKIP() << "the allocator aborts instead of failing here";
  EXPECT_EXIT(
      {
        CW_TEST_CHILD_CHECK(CWTestLimitAddressSpace());
        body();
        CWTestChildExit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
