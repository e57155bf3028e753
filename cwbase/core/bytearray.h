/// @file
/// CWBYTEArray and CWWORDArray: fixed-capacity arrays of 8-bit and 16-bit
/// unsigned values inside a buffer the caller supplies.
///
/// Contract
/// - The array owns nothing: SetBuffer attaches the caller's buffer with its
///   count and capacity (taken unchecked: the buffer holds at least `capacity`
///   elements, count <= capacity, a null buffer comes with count 0), and the
///   destructor releases nothing. The array never allocates.
/// - Additions (Add, InsertAt, AddSorted) happen only while
///   count < capacity - 1. Add therefore never fills the last element, while
///   InsertAt at an index i at or beyond the count (i < capacity) stores there,
///   makes the count i + 1 and leaves the elements in between as the buffer
///   held them.
/// - AddSorted keeps ascending unsigned order and inserts a value in front of
///   the elements that sort equal to it. The word form sorts by (value & mask)
///   and stores the full value; its Find matches when ((e ^ value) & mask) is 0.
/// - Results: only GetAt (0 when out of range or without a buffer), Find (lowest
///   matching index or -1) and GetCount answer anything; every refusal is
///   silent and leaves the array unchanged. RemoveAt leaves the slot that falls
///   free at the end holding its old value.
/// Threads: no lock; one thread at a time uses an array and its buffer.
#pragma once

/// A fixed-capacity array of 8-bit values inside a buffer the caller
/// supplies and keeps alive; it never allocates or frees.
class CWBYTEArray {
 public:
  /// No buffer, count 0, capacity 0: every addition is refused.
  CWBYTEArray() : m_pBuffer(nullptr), m_Count(0), m_Capacity(0) {}
  /// Releases nothing; the caller's buffer is left as it is.
  virtual ~CWBYTEArray() {}

  /// Attaches @p buffer, which holds at least @p capacity elements of which
  /// the first @p count are in use. Taken unchecked: count <= capacity, and a
  /// null buffer comes with count 0.
  void SetBuffer(unsigned char* buffer, int count, int capacity);
  /// Appends @p value while count < capacity - 1 (the last element is never
  /// filled by Add); otherwise, or without a buffer, nothing happens.
  void Add(unsigned char value);
  /// Inserts @p value at @p index while count < capacity - 1: below the count
  /// the later elements move up; at or beyond it (index < capacity) the value
  /// is stored there, the count becomes index + 1 and the elements in between
  /// keep what the buffer held. Negative or too large indices do nothing.
  void InsertAt(int index, unsigned char value);
  /// The element at @p index; 0 without a buffer or out of range.
  unsigned char GetAt(int index);
  /// Overwrites the element at @p index for 0 <= index < count; never extends.
  void SetAt(int index, unsigned char value);
  /// Inserts @p value in ascending order, in front of the elements equal to
  /// it. Refused (silently) when full (count >= capacity - 1) or without a
  /// buffer.
  void AddSorted(unsigned char value);
  /// The lowest index holding @p value; -1 when none, when empty, or without
  /// a buffer.
  int Find(unsigned char value);
  /// Removes the element at @p index (0 <= index < count), moving the later
  /// ones down; the slot that falls free keeps its old value.
  void RemoveAt(int index);

  /// Number of elements in use.
  int GetCount() { return m_Count; }

 private:
  unsigned char* m_pBuffer;
  int m_Count;
  int m_Capacity;
};

/// A fixed-capacity array of 16-bit values inside a buffer the caller
/// supplies and keeps alive; it never allocates or frees.
class CWWORDArray {
 public:
  /// No buffer, count 0, capacity 0: every addition is refused.
  CWWORDArray() : m_pBuffer(nullptr), m_Count(0), m_Capacity(0) {}
  /// Releases nothing; the caller's buffer is left as it is.
  virtual ~CWWORDArray() {}

  /// Attaches @p buffer, which holds at least @p capacity elements of which
  /// the first @p count are in use. Taken unchecked: count <= capacity, and a
  /// null buffer comes with count 0.
  void SetBuffer(unsigned short* buffer, int count, int capacity);
  /// Appends @p value while count < capacity - 1 (the last element is never
  /// filled by Add); otherwise, or without a buffer, nothing happens.
  void Add(unsigned short value);
  /// Inserts @p value at @p index while count < capacity - 1: below the count
  /// the later elements move up; at or beyond it (index < capacity) the value
  /// is stored there, the count becomes index + 1 and the elements in between
  /// keep what the buffer held. Negative or too large indices do nothing.
  void InsertAt(int index, unsigned short value);
  /// The element at @p index; 0 without a buffer or out of range.
  unsigned short GetAt(int index);
  /// Overwrites the element at @p index for 0 <= index < count; never extends.
  void SetAt(int index, unsigned short value);
  /// Inserts @p value in ascending order of (element & mask), in front of the
  /// elements that sort equal; the whole value is stored. Refused (silently)
  /// when full (count >= capacity - 1) or without a buffer.
  void AddSorted(unsigned short value, unsigned short mask);
  /// The lowest index whose element agrees with @p value on every bit of
  /// @p mask (mask 0 matches any element); -1 when none, when empty, or
  /// without a buffer.
  int Find(unsigned short value, unsigned short mask);
  /// Removes the element at @p index (0 <= index < count), moving the later
  /// ones down; the slot that falls free keeps its old value.
  void RemoveAt(int index);

  /// Number of elements in use.
  int GetCount() { return m_Count; }

 private:
  unsigned short* m_pBuffer;
  int m_Count;
  int m_Capacity;
};
