// CWBlock: a growable byte buffer that owns its storage, and CWDynArray<T>, a
// block whose data bytes are a packed array of plain records.
//
// Contract
// - A block owns its storage (array new/delete). Capacity is the number of
//   bytes owned, length the number of data bytes at its start; storage is null
//   exactly when the capacity is 0. Every operation that takes outside bytes
//   copies them; a block never adopts or hands over memory.
// - Pointers from GetBuffer/SetSize stay valid until the next operation that
//   may replace the storage (SetBuffer, AddData, operator+=, operator=,
//   SetSize, CWDynArray::Add), Reset or destruction.
// - Growth: AddData grows to length + added + 8192; every other operation
//   sizes storage exactly. No operation shrinks the storage.
// - Bytes between length and capacity are zero after SetBuffer, SetSize and a
//   storage-keeping operator=; AddData's spare room is not cleared.
// - Results: SetBuffer/AddData return 1 done, 0 refused (null source or zero
//   size). Allocation failure: the sized constructor, SetBuffer, AddData,
//   operator= and SetSize throw std::bad_alloc and leave the block as it was;
//   operator+= and CWDynArray::Add catch it (nothing appended / null result).
// - Sizes whose arithmetic would overflow (length + size, or the 8192 spare
//   bytes on top, beyond the range of unsigned long) and sizes beyond
//   PTRDIFF_MAX fail exactly as an allocation failure would: std::bad_alloc
//   where the operation lets it through, caught where it catches.
// - Copies into the block's own storage are overlap-safe: SetBuffer and
//   AddData may take their source from the block's own data.
// - Choices: copy construction copies the other block's data into storage of
//   exactly its length (an empty source gives an empty block); assigning a
//   block to itself leaves it unchanged; AddData from a range inside the
//   block's own storage copies it before the old storage is released;
//   `b += b` appends b's data to itself (3 bytes become 6).
// Threads: no lock; one thread at a time per block.
#pragma once

#include <climits>
#include <cstddef>
#include <new>

class CWBlock {
 public:
  CWBlock();
  explicit CWBlock(unsigned long size);
  CWBlock(void* source, unsigned long size);
  CWBlock(const CWBlock& other);
  virtual ~CWBlock();

  void Reset();
  void Zero();
  int SetBuffer(void* source, unsigned long size);
  int AddData(void* source, unsigned long size, void* reserved = nullptr);
  CWBlock& operator+=(const CWBlock& other);
  CWBlock& operator=(const CWBlock& other);
  void* GetBuffer() { return m_pBuffer; }
  unsigned long GetSize() { return m_Length; }
  void* SetSize(unsigned long size);

  // Number of bytes of storage the block owns.
  unsigned long GetCapacity() { return m_Capacity; }

 protected:
  unsigned long m_Capacity;
  unsigned char* m_pBuffer;
  unsigned long m_Length;
};

template <typename T>
class CWDynArray : public CWBlock {
 public:
  CWDynArray() {}
  virtual ~CWDynArray() {}

  int GetCount() { return static_cast<int>(GetSize() / sizeof(T)); }
  T* GetAt(int index) { return reinterpret_cast<T*>(m_pBuffer) + index; }

  // Appends one element (SetSize to length + sizeof(T)) and returns it; its
  // bytes are whatever the storage held beyond the old length (zero in an
  // array changed only through Add and RemoveAll). Null when the storage
  // cannot be allocated or the new length would overflow; the array is then
  // unchanged.
  T* Add() {
    unsigned long old = m_Length;
    if (old > ULONG_MAX - sizeof(T)) return nullptr;
    try {
      SetSize(old + sizeof(T));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    return reinterpret_cast<T*>(m_pBuffer + old);
  }

  // Zeroes the whole storage and sets the length to 0; the storage stays.
  void RemoveAll() {
    if (!m_pBuffer) return;
    Zero();
    m_Length = 0;
  }
};
