// Test aid: the one pseudo-random generator of the randomised tests. It is a
// 64-bit linear congruential generator, so a starting value gives the same sequence on
// every compiler and standard library and a failing round can be replayed.
#pragma once

#include <cstddef>
#include <cstdint>

class CWTestRandom {
 public:
  explicit CWTestRandom(uint64_t start) : m_State(start) {}

  // 32 fresh bits.
  uint32_t Next() {
    m_State = m_State * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(m_State >> 32);
  }
  // A value in [0, n); n must be above 0.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((uint64_t{Next()} * n) >> 32); }
  // True once in n calls on average.
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  // True in `percent` of the calls on average.
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  // One of the items of a built-in array.
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t m_State;
};
