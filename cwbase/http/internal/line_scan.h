// Where the lines of an HTTP message stop (the first LF, CR or NUL byte) and
// where their colons are, found 64 bytes at a time. Private to the HTTP
// subsystem.
//
// Contract
// - A LineScanner reads the `size` bytes at `data`, which stay owned by the
//   caller and alive while it is used; it never reads beyond them.
// - NextStop(from) returns the offset of the first LF, CR or NUL at or after
//   `from` (`size` when there is none); NextColon(from, to) that of the first
//   colon in [from, to), or `to`. Each keeps the marks of the last 64-byte block it entered, so a
//   run of calls with growing `from` maps every block once.
// Threads: none; one scanner per Feed call.
#pragma once

#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

class LineScanner {
 public:
  LineScanner(const char* data, long size) : m_pData(data), m_Size(size) {}

  long NextStop(long from) { return Next(m_Stops, true, from, m_Size); }
  long NextColon(long from, long to) { return Next(m_Colons, false, from, to); }

 private:
  static constexpr long kBlock = 64;
  struct Marks {
    long m_Base = -1;  // the block mapped, or -1
    std::uint64_t m_Bits = 0;
  };

  long Next(Marks& marks, bool stops, long from, long to) {
    while (from < to) {
      const long base = from & ~(kBlock - 1);
      if (base != marks.m_Base) Map(marks, stops, base);
      const std::uint64_t found = marks.m_Bits >> (from - base);
      if (found) {
        const long at = from + __builtin_ctzll(found);
        return at < to ? at : to;
      }
      from = base + kBlock;
    }
    return to;
  }

  // Bit i of the marks stands for byte base + i.
  void Map(Marks& marks, bool stops, long base) {
    const char* block = m_pData + base;
    char tail[kBlock];
    if (m_Size - base < kBlock) {
      // The last, short block: bytes that are neither stops nor colons
      // stand in for those beyond the data.
      std::memset(tail, 'a', sizeof tail);
      std::memcpy(tail, block, static_cast<size_t>(m_Size - base));
      block = tail;
    }
    std::uint64_t bits = 0;
    long i = 0;
#if defined(CWBASE_SIMD_SSE2)
    for (; i < kBlock; i += 16) {
      const simd::Vec v = simd::Load16(block + i);
      const unsigned found =
          stops ? simd::EqMask(v, '\n') | simd::EqMask(v, '\r') | simd::EqMask(v, '\0')
                : simd::EqMask(v, ':');
      bits |= std::uint64_t{found} << i;
    }
#endif
    for (; i < kBlock; ++i) {
      const char c = block[i];
      const bool hit = stops ? c == '\n' || c == '\r' || c == '\0' : c == ':';
      bits |= std::uint64_t{hit} << i;
    }
    marks.m_Base = base;
    marks.m_Bits = bits;
  }

  const char* m_pData;
  long m_Size;
  Marks m_Stops;
  Marks m_Colons;
};

}  // namespace cwbase_internal
