// ByteMap: the CR and colon masks of one 64-byte chunk, sixteen bytes per
// compare where the vector primitives are available.
#include "cwbase/http/internal/byte_map.h"

#include <cstring>

#include "cwbase/core/internal/simd.h"

namespace cwbase_internal {

void ByteMap::Map(unsigned long base) {
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
