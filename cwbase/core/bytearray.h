// CWBYTEArray and CWWORDArray: fixed-capacity arrays of 8-bit and 16-bit
// unsigned values inside a buffer the caller supplies.
//
// Contract
// - The array owns nothing: SetBuffer attaches the caller's buffer with its
//   count and capacity (taken unchecked: the buffer holds at least `capacity`
//   elements, count <= capacity, a null buffer comes with count 0), and the
//   destructor releases nothing. The array never allocates.
// - Additions (Add, InsertAt, AddSorted) happen only while
//   count < capacity - 1. Add therefore never fills the last element, while
//   InsertAt at an index i at or beyond the count (i < capacity) stores there,
//   makes the count i + 1 and leaves the elements in between as the buffer
//   held them.
// - AddSorted keeps ascending unsigned order and inserts a value in front of
//   the elements that sort equal to it. The word form sorts by (value & mask)
//   and stores the full value; its Find matches when ((e ^ value) & mask) is 0.
// - Results: only GetAt (0 when out of range or without a buffer), Find (lowest
//   matching index or -1) and GetCount answer anything; every refusal is
//   silent and leaves the array unchanged. RemoveAt leaves the slot that falls
//   free at the end holding its old value.
// Threads: no lock; one thread at a time uses an array and its buffer.
#pragma once

class CWBYTEArray {
 public:
  CWBYTEArray() : m_pBuffer(nullptr), m_Count(0), m_Capacity(0) {}
  virtual ~CWBYTEArray() {}

  void SetBuffer(unsigned char* buffer, int count, int capacity);
  void Add(unsigned char value);
  void InsertAt(int index, unsigned char value);
  unsigned char GetAt(int index);
  void SetAt(int index, unsigned char value);
  void AddSorted(unsigned char value);
  int Find(unsigned char value);
  void RemoveAt(int index);

  // Number of elements in use.
  int GetCount() { return m_Count; }

 private:
  unsigned char* m_pBuffer;
  int m_Count;
  int m_Capacity;
};

class CWWORDArray {
 public:
  CWWORDArray() : m_pBuffer(nullptr), m_Count(0), m_Capacity(0) {}
  virtual ~CWWORDArray() {}

  void SetBuffer(unsigned short* buffer, int count, int capacity);
  void Add(unsigned short value);
  void InsertAt(int index, unsigned short value);
  unsigned short GetAt(int index);
  void SetAt(int index, unsigned short value);
  void AddSorted(unsigned short value, unsigned short mask);
  int Find(unsigned short value, unsigned short mask);
  void RemoveAt(int index);

  // Number of elements in use.
  int GetCount() { return m_Count; }

 private:
  unsigned short* m_pBuffer;
  int m_Count;
  int m_Capacity;
};
