/// @file
/// CWBlock: a growable byte buffer that owns its storage, and CWDynArray<T>, a
/// block whose data bytes are a packed array of plain records.
///
/// Contract
/// - A block owns its storage (array new/delete). Capacity is the number of
///   bytes owned, length the number of data bytes at its start; storage is null
///   exactly when the capacity is 0. Every operation that takes outside bytes
///   copies them; a block never adopts or hands over memory.
/// - Pointers from GetBuffer/SetSize stay valid until the next operation that
///   may replace the storage (SetBuffer, AddData, operator+=, operator=,
///   SetSize, CWDynArray::Add), Reset or destruction.
/// - Growth: AddData grows to length + added + 8192; every other operation
///   sizes storage exactly. No operation shrinks the storage.
/// - Bytes between length and capacity are zero after SetBuffer, SetSize and a
///   storage-keeping operator=; AddData's spare room is not cleared.
/// - Results: SetBuffer/AddData return 1 done, 0 refused (null source or zero
///   size). Allocation failure: the sized constructor, SetBuffer, AddData,
///   operator= and SetSize throw std::bad_alloc and leave the block as it was;
///   operator+= and CWDynArray::Add catch it (nothing appended / null result).
/// - Sizes whose arithmetic would overflow (length + size, or the 8192 spare
///   bytes on top, beyond the range of unsigned long) and sizes beyond
///   PTRDIFF_MAX fail exactly as an allocation failure would: std::bad_alloc
///   where the operation lets it through, caught where it catches.
/// - Copies into the block's own storage are overlap-safe: SetBuffer and
///   AddData may take their source from the block's own data.
/// - Choices: copy construction copies the other block's data into storage of
///   exactly its length (an empty source gives an empty block); assigning a
///   block to itself leaves it unchanged; AddData from a range inside the
///   block's own storage copies it before the old storage is released;
///   `b += b` appends b's data to itself (3 bytes become 6).
/// - Beside the exact signatures: construction from read-only bytes, and
///   GetBuffer / GetSize / GetBufferAs<T> on a const block.
/// Threads: no lock; one thread at a time per block.
#pragma once

#include <climits>
#include <cstddef>
#include <new>

/// A growable byte buffer that owns its storage: a capacity, and at its start
/// a run of data bytes whose count is the length. Sizes count bytes.
/// One thread at a time uses a block.
class CWBlock {
 public:
  /// An empty block: no storage, capacity 0, length 0.
  CWBlock();
  /// Length and capacity @p size; the storage is allocated but NOT cleared.
  /// Throws std::bad_alloc when it cannot be allocated.
  explicit CWBlock(unsigned long size);
  /// A copy of @p size bytes from @p source (as SetBuffer); an empty block
  /// for a null source or a size of 0.
  CWBlock(void* source, unsigned long size);
  /// The same for read-only bytes (a string literal, a const buffer). A
  /// template only so that a call with a null pointer constant (nullptr,
  /// NULL, 0) still picks the form above.
  template <typename T>
  CWBlock(const T* source, unsigned long size)
      : CWBlock(const_cast<void*>(static_cast<const void*>(source)), size) {}
  /// A copy of the other block's data, in storage of exactly its length.
  CWBlock(const CWBlock& other);
  /// Releases the storage.
  virtual ~CWBlock();

  /// Releases the storage; capacity and length become 0.
  void Reset();
  /// Sets every byte of the storage (the whole capacity) to zero; the length
  /// stays. Without storage nothing happens.
  void Zero();
  /// Replaces the data with a copy of @p size bytes from @p source (which may
  /// lie inside this block). Storage is replaced by exactly @p size bytes only
  /// when it is too small; bytes beyond the new length are zeroed.
  /// @return 1 done; 0 for a null source or a size of 0 (block unchanged).
  /// Throws std::bad_alloc, leaving the block unchanged.
  int SetBuffer(void* source, unsigned long size);
  /// Appends a copy of @p size bytes from @p source. When the data does not
  /// fit, the storage grows to length + size + 8192 bytes (the spare room is
  /// not cleared). @p reserved has no effect.
  /// @return 1 done; 0 for a null source or a size of 0 (block unchanged).
  /// Throws std::bad_alloc, leaving the block unchanged.
  int AddData(void* source, unsigned long size, void* reserved = nullptr);
  /// Appends a copy of the other block's data (storage grows to exactly the
  /// sum of both lengths). Appending an empty block, or failing to allocate,
  /// changes nothing; never throws. `b += b` doubles b's data.
  CWBlock& operator+=(const CWBlock& other);
  /// Makes the data a copy of the other block's data. Storage that is large
  /// enough is kept (and zeroed beyond the new length); otherwise it is
  /// replaced by exactly the other length. Self-assignment changes nothing.
  /// Throws std::bad_alloc, leaving the block unchanged.
  CWBlock& operator=(const CWBlock& other);
  /// The storage, or null when there is none. Valid until the next operation
  /// that may replace the storage (see the file description).
  void* GetBuffer() { return m_pBuffer; }
  /// GetBuffer of a read-only block.
  const void* GetBuffer() const { return m_pBuffer; }
  /// The storage as an array of @p T (`GetBufferAs<wchar_t>()`), or null.
  template <typename T>
  T* GetBufferAs() {
    return static_cast<T*>(GetBuffer());
  }
  /// GetBufferAs of a read-only block.
  template <typename T>
  const T* GetBufferAs() const {
    return static_cast<const T*>(GetBuffer());
  }
  /// The length: the number of data bytes.
  unsigned long GetSize() { return m_Length; }
  /// GetSize of a read-only block.
  unsigned long GetSize() const { return m_Length; }
  /// Sets the length to @p size. Storage that is large enough is kept and the
  /// bytes from @p size up to the capacity are zeroed (growing within the
  /// capacity exposes what lay beyond the old length); otherwise new zeroed
  /// storage of exactly @p size bytes receives the whole old storage.
  /// @return the storage afterwards; null for size 0 on a block without
  /// storage. Throws std::bad_alloc, leaving the block unchanged.
  void* SetSize(unsigned long size);

  /// Number of bytes of storage the block owns.
  unsigned long GetCapacity() { return m_Capacity; }

 protected:
  unsigned long m_Capacity;  ///< Bytes of storage owned; 0 exactly when m_pBuffer is null.
  unsigned char* m_pBuffer;  ///< The storage (array new/delete), or null.
  unsigned long m_Length;    ///< Data bytes at the start of the storage; never above the capacity.
};

/// A block whose data bytes are a packed array of records of type @p T.
/// @tparam T a plain record that may be moved as raw bytes and zero-filled.
/// Element i lies at byte offset i * sizeof(T); the count is the length
/// divided by sizeof(T), rounded down.
template <typename T>
class CWDynArray : public CWBlock {
 public:
  /// An empty array.
  CWDynArray() {}
  /// Releases the storage (the records need no destruction).
  ~CWDynArray() override {}

  /// Number of whole records: length / sizeof(T).
  int GetCount() { return static_cast<int>(GetSize() / sizeof(T)); }
  /// The record at @p index. Not checked: the caller keeps
  /// 0 <= index < GetCount().
  T* GetAt(int index) { return reinterpret_cast<T*>(m_pBuffer) + index; }

  /// Appends one element: SetSize to length + sizeof(T), then the new last
  /// element, GetAt(GetCount() - 1). When the length was a multiple of
  /// sizeof(T) that element starts at the old length and its bytes are
  /// whatever the storage held beyond it (zero in an array changed only
  /// through Add and RemoveAll); otherwise (after SetSize, SetBuffer or
  /// AddData) it is the last whole record, at offset
  /// (new length / sizeof(T) - 1) * sizeof(T), and takes in the bytes of the
  /// old partial record. Null when the storage cannot be allocated or the new
  /// length would overflow; the array is then unchanged. A full array is
  /// reallocated on every call (exact growth).
  T* Add() {
    if (m_Length > ULONG_MAX - sizeof(T)) return nullptr;
    try {
      SetSize(m_Length + sizeof(T));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    return GetAt(GetCount() - 1);
  }

  /// Zeroes the whole storage and sets the length to 0; the storage stays.
  void RemoveAll() {
    if (!m_pBuffer) return;
    Zero();
    m_Length = 0;
  }
};
