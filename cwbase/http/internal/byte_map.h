// Where the CRs and colons of the HTTP parser's copy lie, found 64 bytes at a
// time. Private to the HTTP subsystem.
//
// Contract
// - A ByteMap reads the `size` bytes at `buffer`, which stay owned by the
//   caller and alive while the map is used; it never reads beyond them.
// - NextCR(from) and NextCROrColon(from) return the offset of the first CR
//   (or CR or colon) at or after `from`, or `size` when there is none.
// - Each 64-byte chunk is mapped when a search first enters it and the map
//   is kept until a search enters another chunk. The caller may write bytes
//   behind the point it searches from (the parser zeroes what it has read),
//   but must not change a CR or colon at or after it.
// Threads: none; one map per parse.
#pragma once

#include <cstdint>
#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

class ByteMap {
 public:
  ByteMap(const char* buffer, unsigned long size) : m_pBuffer(buffer), m_Size(size) {}

  unsigned long NextCR(unsigned long from) { return Next(from, 0); }
  unsigned long NextCROrColon(unsigned long from) { return Next(from, ~std::uint64_t{0}); }

 private:
  static constexpr unsigned long kChunk = 64;

  // The first byte at or after `from` whose bit is set in the CR mask or in
  // the colon mask AND `colons`.
  unsigned long Next(unsigned long from, std::uint64_t colons) {
    while (from < m_Size) {
      const unsigned long base = from & ~(kChunk - 1);
      if (base != m_Base) Map(base);
      const std::uint64_t found = (m_CR | (m_Colon & colons)) >> (from - base);
      if (found) return from + static_cast<unsigned long>(simd::FirstBit64(found));
      from = base + kChunk;
    }
    return m_Size;
  }

  // Builds the masks of the chunk at `base`: bit i stands for byte base + i.
  void Map(unsigned long base);

  const char* m_pBuffer;
  unsigned long m_Size;
  unsigned long m_Base = ~0UL;  // no chunk mapped yet
  std::uint64_t m_CR = 0;
  std::uint64_t m_Colon = 0;
};

// Sixteen bytes per compare where the vector primitives are available; the
// portable loop maps what they leave (everything when they are off).
inline void ByteMap::Map(unsigned long base) {
  const char* chunk = m_pBuffer + base;
  char tail[kChunk];
  if (m_Size - base < kChunk) {
    // The last, short chunk: zero bytes stand in for those beyond the copy.
    std::memset(tail, 0, sizeof tail);
    std::memcpy(tail, chunk, m_Size - base);
    chunk = tail;
  }
  m_CR = 0;
  m_Colon = 0;
  unsigned i = 0;
#if defined(CWBASE_SIMD_SSE2)
  for (; i < kChunk; i += 16) {
    const simd::Vec v = simd::Load16(chunk + i);
    m_CR |= std::uint64_t{simd::EqMask(v, '\r')} << i;
    m_Colon |= std::uint64_t{simd::EqMask(v, ':')} << i;
  }
#endif
  for (; i < kChunk; ++i) {
    m_CR |= std::uint64_t{chunk[i] == '\r'} << i;
    m_Colon |= std::uint64_t{chunk[i] == ':'} << i;
  }
  m_Base = base;
}

}  // namespace cwbase_internal
