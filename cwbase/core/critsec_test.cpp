#include "cwbase/core/critsec.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "cwbase/core/ptarray.h"

// Threads increment a shared counter with a deliberately racy read-yield-write
// inside nested Lock/Unlock pairs: a lost update means the lock let two
// threads in, a hang means a nested lock was not recursive or not released.
TEST(CWCriticalSection, NestedLockingUnderContention) {
  CWPtArray array;
  CWCriticalSection& lock = array.GetCriticalSection();
  long counter = 0;
  constexpr int kThreads = 4, kRounds = 2000;
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        lock.Lock();
        lock.Lock();
        long seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
        lock.Unlock();
        lock.Unlock();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}
