// XmlPool: storage for the objects of an XML tree (CWXMLNode, CWXMLProp and
// classes derived from them), which allocate through their class-specific
// operator new and release through their operator delete. Private to the
// XML subsystem.
//
// Contract
// - Every object lives in a chunk of malloc storage, behind an 8-byte slot
//   naming its chunk. A chunk counts its live objects (atomically) and is
//   freed when the last one is released, by whichever thread releases it.
// - Each reader (exact and standard) allocates the objects of one load with
//   a pool object (node_storage.h), which cuts them from 64 KiB chunks one
//   after another: no malloc per object and a tree laid out in document
//   order. The pool is the reader's local state; it keeps nothing after the
//   load and objects cut from it are released one by one like any other.
// - Every other allocation (`new CWXMLNode`, AddChildNode, operator=, ...)
//   is cut from a pool of the allocating thread's, made on its first such
//   allocation and destroyed (its open chunk handed over to its objects)
//   when the thread ends. Where that pool cannot be had, the object takes
//   a chunk of its own (AllocateOne).
// - Reserve allocates a pool's chunks ahead: the exact reader does so before
//   its indexed parse, so that the new tree is laid out in one run of chunks
//   in the order the parse fills them. A document load releases the previous
//   tree first; CWXMLNode::Parse reserves while the node still holds its old
//   tree, which the parse then cleans up, so its chunks are freed only after
//   the reservation. Chunks left unused are freed with the pool.
// - Chunks emptied by a release are freed, not kept for the next load: those
//   frees have malloc merge the small blocks the tree's arrays gave back, and
//   the next tree's arrays are then cut from them in document order. Kept
//   chunks (tried) left those blocks in malloc's last-in-first-out lists,
//   which scatters the arrays of a deep tree and makes loads slower.
// - A Batch releases objects one after another and counts a run of objects
//   from the same chunk with one atomic step; a tree being destroyed is
//   released that way.
// - A chunk stays allocated while any of its objects lives, so a tree part
//   kept long after the rest is released holds its chunks.
// - Allocation failure: Allocate and AllocateOne throw std::bad_alloc; the
//   nothrow form returns null.
// - Under AddressSanitizer, released objects and unused chunk space are
//   poisoned, so a use after release is still reported.
// Threads: a pool object is used by one thread; objects from one chunk may be
// released on different threads at once.
#pragma once

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define CWBASE_XML_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CWBASE_XML_POOL_ASAN 1
#endif
#endif

namespace cwbase_internal {

class XmlPool {
 public:
  XmlPool() = default;
  XmlPool(const XmlPool&) = delete;
  XmlPool& operator=(const XmlPool&) = delete;
  // Hands the chunk in use over to its objects.
  ~XmlPool();

  // Allocates chunks ahead for objects of about `bytes` bytes in all.
  // Nothing happens when the memory cannot be had.
  void Reserve(size_t bytes) noexcept;
  // An object of `size` bytes from the pool's chunk.
  void* Allocate(size_t size) {
#ifndef CWBASE_XML_POOL_ASAN  // the sanitized build poisons and unpoisons
    const size_t need = sizeof(void*) + (size + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
    if (static_cast<size_t>(m_End - m_Next) >= need) {
      char* slot = m_Next;
      *reinterpret_cast<Chunk**>(slot) = m_Chunk;
      m_Next += need;
      ++m_Count;
      return slot + sizeof(void*);
    }
#endif
    return AllocateInNewChunk(size);
  }

  // An object of `size` bytes in a chunk of its own.
  static void* AllocateOne(size_t size);
  static void* AllocateOne(size_t size, const std::nothrow_t&) noexcept;
  // Releases an object of `size` bytes from either kind of chunk.
  static void Release(void* object, size_t size) noexcept;

  class Batch;

 private:
  struct Chunk;
  void* AllocateInNewChunk(size_t size);
  void Seal() noexcept;

  Chunk* m_Chunk = nullptr;
  Chunk* m_Spare = nullptr;  // reserved chunks not yet cut from
  char* m_Next = nullptr;
  char* m_End = nullptr;
  long m_Count = 0;  // objects cut from m_Chunk
};

class XmlPool::Batch {
 public:
  Batch() = default;
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  ~Batch() { Flush(); }

  // As XmlPool::Release, counted with the objects released before it.
  void Release(void* object, size_t size) noexcept;
  void Flush() noexcept;

 private:
  Chunk* m_Chunk = nullptr;
  long m_Count = 0;
};

}  // namespace cwbase_internal
