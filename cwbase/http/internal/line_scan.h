// Where the lines of an HTTP message stop (the first LF, CR or NUL byte) and
// where their colons are, found 64 bytes at a time. Private to the HTTP
// subsystem.
//
// Contract
// - A LineScanner reads the `size` bytes at `data`, which stay owned by the
//   caller and alive while it is used, and may read up to `readable` bytes
//   there (at least `size`) when the bytes past `size` are neither LF, CR,
//   NUL nor colons; it never reads further.
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
  LineScanner(const char* data, long size, long readable)
      : m_pData(data), m_Size(size), m_Readable(readable) {}

  long NextStop(long from) { return Next(true, from, m_Size); }
  long NextColon(long from, long to) { return Next(false, from, to); }

 private:
  static constexpr long kBlock = 64;
  // The marks of one block: bit i stands for byte m_Base + i.
  struct Block {
    long m_Base = -1;  // -1: none mapped
    std::uint64_t m_Stops = 0;
    std::uint64_t m_Colons = 0;
  };

  long Next(bool stops, long from, long to) {
    while (from < to) {
      const long base = from & ~(kBlock - 1);
      const Block& block = Get(base);
      const std::uint64_t found = (stops ? block.m_Stops : block.m_Colons) >> (from - base);
      if (found) {
        const long at = from + simd::FirstBit64(found);
        return at < to ? at : to;
      }
      from = base + kBlock;
    }
    return to;
  }

  // The last two blocks stay mapped: a line's colon is searched for after
  // its end, and both usually lie in the block the line ends in or the one
  // before.
  const Block& Get(long base) {
    if (m_Blocks[m_Last].m_Base == base) return m_Blocks[m_Last];
    m_Last ^= 1;
    if (m_Blocks[m_Last].m_Base != base) Map(m_Blocks[m_Last], base);
    return m_Blocks[m_Last];
  }

  void Map(Block& marks, long base) {
    const char* block = m_pData + base;
    char tail[kBlock];
    if (m_Readable - base < kBlock) {
      // The last, short block: bytes that are neither stops nor colons
      // stand in for those beyond the data.
      std::memset(tail, 'a', sizeof tail);
      std::memcpy(tail, block, static_cast<size_t>(m_Size - base));
      block = tail;
    }
    std::uint64_t stops = 0;
    std::uint64_t colons = 0;
    long i = 0;
#if defined(CWBASE_SIMD_SSE2)
    for (; i < kBlock; i += 16) {
      const simd::Vec v = simd::Load16(block + i);
      const unsigned found = simd::EqMask(v, '\n') | simd::EqMask(v, '\r') | simd::EqMask(v, '\0');
      stops |= std::uint64_t{found} << i;
      colons |= std::uint64_t{simd::EqMask(v, ':')} << i;
    }
#endif
    for (; i < kBlock; ++i) {
      const char c = block[i];
      stops |= std::uint64_t{c == '\n' || c == '\r' || c == '\0'} << i;
      colons |= std::uint64_t{c == ':'} << i;
    }
    marks.m_Base = base;
    marks.m_Stops = stops;
    marks.m_Colons = colons;
  }

  const char* m_pData;
  long m_Size;
  long m_Readable;  // bytes that may be read; those past m_Size are neither stops nor colons
  Block m_Blocks[2];
  int m_Last = 0;
};

}  // namespace cwbase_internal
