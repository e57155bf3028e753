// CWBYTEArray and CWWORDArray share one implementation, ArrayOps<T>, a view
// of an array's fields. The byte form is the word form's algorithm with a
// mask of all bits, so sorting and matching compare whole values.
#include "cwbase/core/bytearray.h"

#include <cstring>

namespace {

template <typename T>
struct ArrayOps {
  T* buffer;
  int& count;
  int capacity;

  // Room for one more element: count < capacity - 1, computed without
  // overflow for any count and capacity.
  bool HasRoom() const {
    return buffer && static_cast<long long>(count) < static_cast<long long>(capacity) - 1;
  }
  bool InUse(int index) const { return buffer && index >= 0 && index < count; }

  void Add(T value) {
    if (HasRoom()) buffer[count++] = value;
  }

  void InsertAt(int index, T value) {
    if (!HasRoom() || index < 0 || index >= capacity) return;
    if (index < count) {
      memmove(buffer + index + 1, buffer + index, sizeof(T) * static_cast<size_t>(count - index));
      buffer[index] = value;
      ++count;
    } else {
      buffer[index] = value;
      count = index + 1;
    }
  }

  T GetAt(int index) const { return InUse(index) ? buffer[index] : T(0); }

  void SetAt(int index, T value) {
    if (InUse(index)) buffer[index] = value;
  }

  void AddSorted(T value, T mask) {
    if (!buffer) return;
    const unsigned key = value & mask;
    for (int k = 0; k < count; ++k) {
      if (static_cast<unsigned>(buffer[k] & mask) >= key) {
        InsertAt(k, value);
        return;
      }
    }
    Add(value);
  }

  int Find(T value, T mask) const {
    if (!buffer) return -1;
    for (int k = 0; k < count; ++k)
      if (((buffer[k] ^ value) & mask) == 0) return k;
    return -1;
  }

  void RemoveAt(int index) {
    if (!InUse(index)) return;
    memmove(buffer + index, buffer + index + 1, sizeof(T) * static_cast<size_t>(count - index - 1));
    --count;
  }
};

using ByteOps = ArrayOps<unsigned char>;
using WordOps = ArrayOps<unsigned short>;
constexpr unsigned char kAllBits = 0xFF;

}  // namespace

void CWBYTEArray::SetBuffer(unsigned char* buffer, int count, int capacity) {
  m_pBuffer = buffer;
  m_Count = count;
  m_Capacity = capacity;
}
void CWBYTEArray::Add(unsigned char v) {
  ByteOps{m_pBuffer, m_Count, m_Capacity}.Add(v);
}
void CWBYTEArray::InsertAt(int i, unsigned char v) {
  ByteOps{m_pBuffer, m_Count, m_Capacity}.InsertAt(i, v);
}
unsigned char CWBYTEArray::GetAt(int i) {
  return ByteOps{m_pBuffer, m_Count, m_Capacity}.GetAt(i);
}
void CWBYTEArray::SetAt(int i, unsigned char v) {
  ByteOps{m_pBuffer, m_Count, m_Capacity}.SetAt(i, v);
}
void CWBYTEArray::AddSorted(unsigned char v) {
  ByteOps{m_pBuffer, m_Count, m_Capacity}.AddSorted(v, kAllBits);
}
int CWBYTEArray::Find(unsigned char v) {
  return ByteOps{m_pBuffer, m_Count, m_Capacity}.Find(v, kAllBits);
}
void CWBYTEArray::RemoveAt(int i) {
  ByteOps{m_pBuffer, m_Count, m_Capacity}.RemoveAt(i);
}

void CWWORDArray::SetBuffer(unsigned short* buffer, int count, int capacity) {
  m_pBuffer = buffer;
  m_Count = count;
  m_Capacity = capacity;
}
void CWWORDArray::Add(unsigned short v) {
  WordOps{m_pBuffer, m_Count, m_Capacity}.Add(v);
}
void CWWORDArray::InsertAt(int i, unsigned short v) {
  WordOps{m_pBuffer, m_Count, m_Capacity}.InsertAt(i, v);
}
unsigned short CWWORDArray::GetAt(int i) {
  return WordOps{m_pBuffer, m_Count, m_Capacity}.GetAt(i);
}
void CWWORDArray::SetAt(int i, unsigned short v) {
  WordOps{m_pBuffer, m_Count, m_Capacity}.SetAt(i, v);
}
void CWWORDArray::AddSorted(unsigned short v, unsigned short mask) {
  WordOps{m_pBuffer, m_Count, m_Capacity}.AddSorted(v, mask);
}
int CWWORDArray::Find(unsigned short v, unsigned short mask) {
  return WordOps{m_pBuffer, m_Count, m_Capacity}.Find(v, mask);
}
void CWWORDArray::RemoveAt(int i) {
  WordOps{m_pBuffer, m_Count, m_Capacity}.RemoveAt(i);
}
