// Where the lines of an HTTP message stop (the first LF, CR or NUL byte) and
// where their colons are, found 64 bytes at a time. Private to the HTTP
// subsystem.
//
// Contract
// - MarkBlock maps 64 readable bytes to bit masks of their stops (LF, CR,
//   NUL) and colons; MarkShortBlock maps fewer and reads no further.
// - A LineScanner (chunk lines) and a LineCursor (field sections) read the
//   `size` bytes at `data`, which stay owned by the caller and alive while
//   they are used, and may read up to `readable` bytes there (at least
//   `size`) when the bytes past `size` are neither stops nor colons; they
//   never read further. Both keep the marks of the block they last entered,
//   so a run of calls with growing offsets maps every block once.
// - NextStop(from) returns the offset of the first stop at or after `from`
//   (`size` when there is none); LineCursor::Colon(start, stop) that of the
//   first colon in [start, stop), or -1.
// Threads: none; one scanner or cursor per Feed call.
#pragma once

#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

// The marks of 64 bytes: bit i stands for byte i.
struct LineMarks {
  std::uint64_t m_Stops;   // LF, CR and NUL
  std::uint64_t m_Colons;  // colons
};

// The marks of the 64 bytes at `block`, all of which must be readable.
// Sixteen bytes per compare where the vector primitives are available; the
// portable loop maps what they leave (everything when they are off).
inline LineMarks MarkBlock(const char* block) {
#if defined(CWBASE_SIMD_SSE2)
  // The stops and colons of the 16 bytes at p, as two 16-bit masks.
  auto marks = [](const char* p, unsigned& stops, unsigned& colons) {
    const simd::Vec v = simd::Load16(p);
    stops = simd::HighMask(
        simd::Or(simd::Or(simd::EqBytes(v, '\n'), simd::EqBytes(v, '\r')), simd::EqBytes(v, '\0')));
    colons = simd::EqMask(v, ':');
  };
  unsigned s0, s1, s2, s3, c0, c1, c2, c3;
  marks(block, s0, c0);
  marks(block + 16, s1, c1);
  marks(block + 32, s2, c2);
  marks(block + 48, s3, c3);
  const std::uint64_t stops = (s0 | s1 << 16) | std::uint64_t{s2 | s3 << 16} << 32;
  const std::uint64_t colons = (c0 | c1 << 16) | std::uint64_t{c2 | c3 << 16} << 32;
  return LineMarks{stops, colons};
#else
  std::uint64_t stops = 0;
  std::uint64_t colons = 0;
  for (int i = 0; i < 64; ++i) {
    const char c = block[i];
    stops |= std::uint64_t{c == '\n' || c == '\r' || c == '\0'} << i;
    colons |= std::uint64_t{c == ':'} << i;
  }
  return LineMarks{stops, colons};
#endif
}

// The marks of the `size` bytes (below 64) at `block`; the bytes after them
// count as neither stops nor colons and are not read. Out of line: it serves
// only the last block of the data.
__attribute__((noinline)) inline LineMarks MarkShortBlock(const char* block, long size) {
  char copy[64];
  std::memset(copy, 'a', sizeof copy);
  std::memcpy(copy, block, static_cast<size_t>(size));
  return MarkBlock(copy);
}

// Finds the stops of chunk lines. Reads `size` bytes at `data` and up to
// `readable` (at least `size`) when the bytes past `size` are not stops.
class LineScanner {
 public:
  LineScanner(const char* data, long size, long readable)
      : m_pData(data), m_Size(size), m_Readable(readable) {}

  // The first LF, CR or NUL at or after `from`, or `size` when there is none.
  long NextStop(long from) {
    // Chunk lines are short and lie a chunk apart: their first bytes, looked
    // at one by one, usually hold the stop, and no block need be mapped.
    const long end = from + kLook < m_Size ? from + kLook : m_Size;
    for (long i = from; i < end; ++i) {
      const char c = m_pData[i];
      if (c == '\n' || c == '\r' || c == '\0') return i;
    }
    for (from = end; from < m_Size;) {
      const long base = from & ~(kBlock - 1);
      if (base != m_Base) {
        m_Stops = m_Readable - base >= kBlock
                      ? MarkBlock(m_pData + base).m_Stops
                      : MarkShortBlock(m_pData + base, m_Size - base).m_Stops;
        m_Base = base;
      }
      const std::uint64_t found = m_Stops >> (from - base);
      if (found) {
        const long at = from + simd::FirstBit64(found);
        return at < m_Size ? at : m_Size;
      }
      from = base + kBlock;
    }
    return m_Size;
  }

 private:
  static constexpr long kBlock = 64;
  static constexpr long kLook = 16;

  const char* m_pData;
  long m_Size;
  long m_Readable;
  long m_Base = -1;  // the block mapped; -1: none
  std::uint64_t m_Stops = 0;
};

// Reads the lines of a field section: the stop that ends each line and the
// first colon before it come from the marks of the blocks the stop search
// passes, so each block is mapped once and a line costs a few bit operations.
// Reads `size` bytes at `data` and up to `readable` (at least `size`) when
// the bytes past `size` are neither stops nor colons.
class LineCursor {
 public:
  LineCursor(const char* data, long size, long readable)
      : m_pData(data), m_Size(size), m_Readable(readable) {}

  // The first LF, CR or NUL at or after `from`, or `size` when there is none.
  long NextStop(long from) {
    const long rel = from - m_Base;
    if (static_cast<unsigned long>(rel) < kBlock) {
      const std::uint64_t found = m_Stops >> rel;
      if (found) {
        const long at = from + simd::FirstBit64(found);
        return at < m_Size ? at : m_Size;
      }
      from = m_Base + kBlock;  // none in the rest of this block
    }
    return NextStopInLaterBlocks(from);
  }

  // The first colon in [start, stop), or -1; `stop` is a stop that the last
  // NextStop returned (not `size`).
  long Colon(long start, long stop) {
    if (start >= m_Base) return First(m_Colons >> (start - m_Base), stop - start, start);
    if (start >= m_PrevBase && m_PrevBase == m_Base - kBlock) {
      const std::uint64_t before = m_PrevColons >> (start - m_PrevBase);
      if (before) return start + simd::FirstBit64(before);
      return First(m_Colons, stop - m_Base, m_Base);
    }
    // A line longer than a block: its start lies in a block no longer mapped.
    const void* colon = std::memchr(m_pData + start, ':', static_cast<size_t>(stop - start));
    return colon ? static_cast<const char*>(colon) - m_pData : -1;
  }

 private:
  static constexpr long kBlock = 64;

  // The first set bit among the `count` (below 64) lowest of `bits`, as an
  // offset from `at`; -1 when none.
  static long First(std::uint64_t bits, long count, long at) {
    bits &= (std::uint64_t{1} << count) - 1;
    return bits ? at + simd::FirstBit64(bits) : -1;
  }

  long NextStopInLaterBlocks(long from) {
    while (from < m_Size) {
      const long base = from & ~(kBlock - 1);
      if (base != m_Base) Enter(base);
      const std::uint64_t found = m_Stops >> (from - base);
      if (found) {
        const long at = from + simd::FirstBit64(found);
        return at < m_Size ? at : m_Size;
      }
      from = base + kBlock;
    }
    return m_Size;
  }

  void Enter(long base) {
    m_PrevBase = m_Base;
    m_PrevColons = m_Colons;
    const LineMarks found = m_Readable - base >= kBlock
                                ? MarkBlock(m_pData + base)
                                : MarkShortBlock(m_pData + base, m_Size - base);
    m_Base = base;
    m_Stops = found.m_Stops;
    m_Colons = found.m_Colons;
  }

  const char* m_pData;
  long m_Size;
  long m_Readable;
  long m_Base = -2 * kBlock;  // the block mapped; none at first
  std::uint64_t m_Stops = 0;
  std::uint64_t m_Colons = 0;
  long m_PrevBase = -4 * kBlock;  // the block mapped before it
  std::uint64_t m_PrevColons = 0;
};

}  // namespace cwbase_internal
