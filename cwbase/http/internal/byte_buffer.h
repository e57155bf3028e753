// ByteBuffer: a growable run of bytes in malloc storage for the incremental
// HTTP reader. Private to the HTTP subsystem.
//
// Contract
// - Reserve makes room for `extra` more bytes beyond the length and returns
//   false, changing nothing, when the storage cannot grow (no memory, or a
//   length that would pass LONG_MAX). Append reserves and copies.
// - Clear sets the length to 0 and keeps the storage, so a reader that is
//   reset for the next response on a connection allocates nothing more once
//   its buffers have grown. Pointers into the data stay valid until the
//   storage grows or the buffer is destroyed.
// Threads: none; one buffer per reader.
#pragma once

#include <climits>
#include <cstdlib>
#include <cstring>

namespace cwbase_internal {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer() { std::free(m_pData); }

  char* Data() { return m_pData; }
  const char* Data() const { return m_pData; }
  long Size() const { return m_Size; }
  void Clear() { m_Size = 0; }
  void Truncate(long size) { m_Size = size; }

  bool Reserve(long extra) {
    if (extra <= m_Capacity - m_Size) return true;
    if (extra > LONG_MAX - m_Size) return false;
    return Grow(m_Size + extra);
  }
  bool Append(const char* data, long size) {
    if (size <= 0) return true;
    if (!Reserve(size)) return false;
    std::memcpy(m_pData + m_Size, data, static_cast<size_t>(size));
    m_Size += size;
    return true;
  }
  // Only after a Reserve that made room for it.
  void Push(char c) { m_pData[m_Size++] = c; }

 private:
  bool Grow(long needed) {
    long capacity = m_Capacity < 256 ? 256 : m_Capacity;
    while (capacity < needed) capacity = capacity > LONG_MAX / 2 ? needed : capacity * 2;
    void* grown = std::realloc(m_pData, static_cast<size_t>(capacity));
    if (!grown) return false;
    m_pData = static_cast<char*>(grown);
    m_Capacity = capacity;
    return true;
  }

  char* m_pData = nullptr;
  long m_Size = 0;
  long m_Capacity = 0;
};

}  // namespace cwbase_internal
