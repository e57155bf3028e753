// CWBlock: storage management for the growable byte buffer.
//
// Every operation that may replace the storage obtains the new storage and
// fills it before it releases the old one, so a failing allocation leaves the
// block untouched and a source inside the block is still readable while it is
// copied.
#include "cwbase/core/block.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// Spare room AddData adds whenever it has to replace the storage.
constexpr unsigned long kAddDataSpare = 8192;

// Array-new storage of `size` bytes (not cleared). Sizes no allocator can
// satisfy, and sums that would wrap, fail with std::bad_alloc like any other
// allocation failure.
unsigned char* Allocate(unsigned long size) {
  if (size > static_cast<unsigned long>(PTRDIFF_MAX)) throw std::bad_alloc();
  return new unsigned char[size];
}

// a + b, or std::bad_alloc when the sum does not fit in unsigned long.
unsigned long CheckedSum(unsigned long a, unsigned long b) {
  if (b > ULONG_MAX - a) throw std::bad_alloc();
  return a + b;
}

}  // namespace

CWBlock::CWBlock() : m_Capacity(0), m_pBuffer(nullptr), m_Length(0) {}

CWBlock::CWBlock(unsigned long size) : m_Capacity(0), m_pBuffer(nullptr), m_Length(0) {
  if (size == 0) return;
  m_pBuffer = Allocate(size);
  m_Capacity = size;
  m_Length = size;
}

CWBlock::CWBlock(void* source, unsigned long size) : CWBlock() {
  SetBuffer(source, size);
}

CWBlock::CWBlock(const CWBlock& other) : CWBlock() {
  if (other.m_Length != 0) SetBuffer(other.m_pBuffer, other.m_Length);
}

CWBlock::~CWBlock() {
  delete[] m_pBuffer;
}

void CWBlock::Reset() {
  delete[] m_pBuffer;
  m_pBuffer = nullptr;
  m_Capacity = 0;
  m_Length = 0;
}

void CWBlock::Zero() {
  if (m_pBuffer) memset(m_pBuffer, 0, m_Capacity);
}

int CWBlock::SetBuffer(void* source, unsigned long size) {
  if (!source || size == 0) return 0;
  if (size > m_Capacity) {
    unsigned char* fresh = Allocate(size);
    memcpy(fresh, source, size);
    delete[] m_pBuffer;
    m_pBuffer = fresh;
    m_Capacity = size;
  } else {
    // The source may be a range of this block's own data.
    memmove(m_pBuffer, source, size);
    memset(m_pBuffer + size, 0, m_Capacity - size);
  }
  m_Length = size;
  return 1;
}

int CWBlock::AddData(void* source, unsigned long size, void* /*reserved*/) {
  if (!source || size == 0) return 0;
  unsigned long needed = CheckedSum(m_Length, size);
  if (needed > m_Capacity) {
    unsigned char* fresh = Allocate(CheckedSum(needed, kAddDataSpare));
    if (m_Length) memcpy(fresh, m_pBuffer, m_Length);
    memcpy(fresh + m_Length, source, size);  // before the old storage goes
    delete[] m_pBuffer;
    m_pBuffer = fresh;
    m_Capacity = needed + kAddDataSpare;
  } else {
    memmove(m_pBuffer + m_Length, source, size);
  }
  m_Length = needed;
  return 1;
}

CWBlock& CWBlock::operator+=(const CWBlock& other) {
  // Read the source before anything changes: `other` may be this block.
  const unsigned char* source = other.m_pBuffer;
  const unsigned long added = other.m_Length;
  if (added == 0 || !source) return *this;
  try {
    unsigned long total = CheckedSum(m_Length, added);
    if (total > m_Capacity) {
      unsigned char* fresh = Allocate(total);
      if (m_Length) memcpy(fresh, m_pBuffer, m_Length);
      memcpy(fresh + m_Length, source, added);
      delete[] m_pBuffer;
      m_pBuffer = fresh;
      m_Capacity = total;
    } else {
      memmove(m_pBuffer + m_Length, source, added);
    }
    m_Length = total;
  } catch (const std::bad_alloc&) {
    // Nothing appended; the block keeps its storage and contents.
  }
  return *this;
}

CWBlock& CWBlock::operator=(const CWBlock& other) {
  if (this == &other) return *this;
  if (other.m_Length <= m_Capacity) {
    Zero();
    if (other.m_Length) memcpy(m_pBuffer, other.m_pBuffer, other.m_Length);
  } else {
    unsigned char* fresh = Allocate(other.m_Length);
    memcpy(fresh, other.m_pBuffer, other.m_Length);
    delete[] m_pBuffer;
    m_pBuffer = fresh;
    m_Capacity = other.m_Length;
  }
  m_Length = other.m_Length;
  return *this;
}

void* CWBlock::SetSize(unsigned long size) {
  if (size == 0 && !m_pBuffer) return nullptr;
  if (m_pBuffer && size <= m_Capacity) {
    memset(m_pBuffer + size, 0, m_Capacity - size);
  } else {
    unsigned char* fresh = Allocate(size);
    if (m_pBuffer) memcpy(fresh, m_pBuffer, m_Capacity);
    memset(fresh + m_Capacity, 0, size - m_Capacity);
    delete[] m_pBuffer;
    m_pBuffer = fresh;
    m_Capacity = size;
  }
  m_Length = size;
  return m_pBuffer;
}
