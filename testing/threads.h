// Test aid: runs the same work on several threads at once and compares each
// thread's result with the result of the same call made on the test's own
// thread beforehand. Used by the Threads.* tests, which the tsan preset runs
// under ThreadSanitizer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

constexpr unsigned kCWTestThreads = 4;

// `work(salt)` must be deterministic in its salt and use only objects of its
// own; salts 0..kCWTestThreads-1 run at once, each repeated `repeats` times.
template <typename Work>
void ExpectSameOnThreads(Work work, int repeats = 5) {
  std::vector<std::string> expected;
  for (unsigned s = 0; s < kCWTestThreads; ++s) expected.push_back(work(s));
  std::vector<std::string> got(kCWTestThreads);
  std::vector<std::thread> threads;
  for (unsigned s = 0; s < kCWTestThreads; ++s)
    threads.emplace_back([&, s] {
      for (int r = 0; r < repeats; ++r) {
        std::string result = work(s);
        if (r == 0 || result != got[s]) got[s] = result;  // keeps a differing result
      }
    });
  for (auto& t : threads) t.join();
  for (unsigned s = 0; s < kCWTestThreads; ++s) EXPECT_EQ(expected[s], got[s]) << "thread " << s;
}
