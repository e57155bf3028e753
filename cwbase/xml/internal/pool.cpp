// XmlPool: chunks of malloc storage holding tree objects, each freed when
// its last object is released. See pool.h.
#include "cwbase/xml/internal/pool.h"

#include <atomic>
#include <cstdlib>

#ifdef CWBASE_XML_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define CWBASE_XML_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define CWBASE_XML_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define CWBASE_XML_POISON(p, n) static_cast<void>(0)
#define CWBASE_XML_UNPOISON(p, n) static_cast<void>(0)
#endif

namespace cwbase_internal {

struct XmlPool::Chunk {
  Chunk(long live, size_t bytes) : m_Live(live), m_Bytes(bytes) {}
  std::atomic<long> m_Live;  // objects not yet released (plus kOpen while cut from)
  size_t m_Bytes;            // the whole chunk, header included
  Chunk* m_NextSpare = nullptr;
};

namespace {

constexpr size_t kSlot = sizeof(void*);  // the chunk's address, before each object
constexpr size_t kChunkBytes = 64 * 1024;
// Added to a chunk's count while a pool still cuts objects from it, so that
// objects released meanwhile never bring the count to zero; the pool trades
// it for the number of objects it cut when it lets the chunk go.
constexpr long kOpen = 1L << 40;

size_t Rounded(size_t size) {
  return (size + kSlot - 1) / kSlot * kSlot;
}

void Free(void* chunk, size_t bytes) {
  CWBASE_XML_UNPOISON(chunk, bytes);
  static_cast<void>(bytes);
  std::free(chunk);
}

}  // namespace

XmlPool::~XmlPool() {
  Seal();
  while (Chunk* spare = m_Spare) {
    m_Spare = spare->m_NextSpare;
    Free(spare, spare->m_Bytes);
  }
}

void XmlPool::Reserve(size_t bytes) noexcept {
  const size_t full = sizeof(Chunk) + kChunkBytes;
  for (size_t have = 0; have < bytes; have += kChunkBytes) {
    void* raw = std::malloc(full);
    if (!raw) return;
    Chunk* chunk = new (raw) Chunk(kOpen, full);
    CWBASE_XML_POISON(static_cast<char*>(raw) + sizeof(Chunk), kChunkBytes);
    chunk->m_NextSpare = m_Spare;
    m_Spare = chunk;
  }
}

// Allocate's way when the chunk in use is full (or, sanitized, always).
void* XmlPool::AllocateInNewChunk(size_t size) {
  const size_t need = kSlot + Rounded(size);
  if (static_cast<size_t>(m_End - m_Next) < need) {
    Seal();
    if (m_Spare && need <= kChunkBytes) {
      m_Chunk = m_Spare;
      m_Spare = m_Spare->m_NextSpare;
    } else {
      const size_t bytes = sizeof(Chunk) + (need > kChunkBytes ? need : kChunkBytes);
      void* raw = std::malloc(bytes);
      if (!raw) throw std::bad_alloc();
      m_Chunk = new (raw) Chunk(kOpen, bytes);
      CWBASE_XML_POISON(static_cast<char*>(raw) + sizeof(Chunk), bytes - sizeof(Chunk));
    }
    m_Next = reinterpret_cast<char*>(m_Chunk) + sizeof(Chunk);
    m_End = reinterpret_cast<char*>(m_Chunk) + m_Chunk->m_Bytes;
  }
  char* slot = m_Next;
  CWBASE_XML_UNPOISON(slot, need);
  *reinterpret_cast<Chunk**>(slot) = m_Chunk;
  m_Next += need;
  ++m_Count;
  return slot + kSlot;
}

void XmlPool::Seal() noexcept {
  if (!m_Chunk) return;
  const long add = m_Count - kOpen;
  if (m_Chunk->m_Live.fetch_add(add, std::memory_order_acq_rel) + add == 0)
    Free(m_Chunk, m_Chunk->m_Bytes);
  m_Chunk = nullptr;
  m_Next = m_End = nullptr;
  m_Count = 0;
}

void* XmlPool::AllocateOne(size_t size, const std::nothrow_t&) noexcept {
  const size_t bytes = sizeof(Chunk) + kSlot + Rounded(size);
  void* raw = std::malloc(bytes);
  if (!raw) return nullptr;
  Chunk* chunk = new (raw) Chunk(1, bytes);
  char* slot = static_cast<char*>(raw) + sizeof(Chunk);
  *reinterpret_cast<Chunk**>(slot) = chunk;
  return slot + kSlot;
}

void* XmlPool::AllocateOne(size_t size) {
  void* object = AllocateOne(size, std::nothrow);
  if (!object) throw std::bad_alloc();
  return object;
}

void XmlPool::Release(void* object, size_t size) noexcept {
  if (!object) return;
  char* slot = static_cast<char*>(object) - kSlot;
  Chunk* chunk = *reinterpret_cast<Chunk**>(slot);
  // Poisoned before the count drops: once it does, another thread may free
  // the chunk.
  if (size) CWBASE_XML_POISON(slot, kSlot + Rounded(size));
  static_cast<void>(size);
  if (chunk->m_Live.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(chunk, chunk->m_Bytes);
}

void XmlPool::Batch::Release(void* object, size_t size) noexcept {
  char* slot = static_cast<char*>(object) - kSlot;
  Chunk* chunk = *reinterpret_cast<Chunk**>(slot);
  CWBASE_XML_POISON(slot, kSlot + Rounded(size));
  static_cast<void>(size);
  if (chunk != m_Chunk) {
    Flush();
    m_Chunk = chunk;
  }
  ++m_Count;
}

void XmlPool::Batch::Flush() noexcept {
  if (m_Chunk && m_Chunk->m_Live.fetch_sub(m_Count, std::memory_order_acq_rel) == m_Count)
    Free(m_Chunk, m_Chunk->m_Bytes);
  m_Chunk = nullptr;
  m_Count = 0;
}

}  // namespace cwbase_internal
