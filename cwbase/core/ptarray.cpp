// CWPtArray: malloc-backed storage of untyped pointers.
//
// All re-sizing goes through Resize (realloc, or malloc and copy for lent
// storage), which either yields the new storage with the old entries at its
// start or fails leaving the array as it was; nothing here can throw.
#include "cwbase/core/ptarray.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cwbase/core/internal/lent_slots.h"

namespace {

constexpr int kInitialCapacity = cwbase_internal::kPtArrayFirstCapacity;

}  // namespace

CWPtArray::CWPtArray() : m_Count(0), m_pData(nullptr), m_Capacity(0), m_bLent(false) {
  // Every XML node makes two arrays: plain malloc and five stores, rather
  // than realloc from null and a memset call.
  StartStorage(static_cast<void**>(malloc(sizeof(void*) * kInitialCapacity)));
}

CWPtArray::CWPtArray(void** lentSlots) noexcept
    : m_Count(0), m_pData(nullptr), m_Capacity(0), m_bLent(lentSlots != nullptr) {
  StartStorage(m_bLent ? lentSlots : static_cast<void**>(malloc(sizeof(void*) * kInitialCapacity)));
}

void CWPtArray::StartStorage(void** slots) noexcept {
  if (!slots) return;
  for (int i = 0; i < kInitialCapacity; ++i) slots[i] = nullptr;
  m_pData = slots;
  m_Capacity = kInitialCapacity;
}

CWPtArray::CWPtArray(const CWPtArray& other)
    : m_Count(0), m_pData(nullptr), m_Capacity(0), m_bLent(false) {
  *this = other;
}

CWPtArray& CWPtArray::operator=(const CWPtArray& other) {
  if (this == &other) return *this;
  void** fresh = nullptr;
  if (other.m_Capacity > 0) {
    fresh = static_cast<void**>(malloc(sizeof(void*) * static_cast<size_t>(other.m_Capacity)));
    if (!fresh) return *this;  // keep what we have
    memset(fresh, 0, sizeof(void*) * static_cast<size_t>(other.m_Capacity));
    if (other.m_Count > 0)
      memcpy(fresh, other.m_pData, sizeof(void*) * static_cast<size_t>(other.m_Count));
  }
  if (!m_bLent) free(m_pData);
  m_pData = fresh;
  m_bLent = false;
  m_Capacity = other.m_Capacity;
  m_Count = fresh ? other.m_Count : 0;
  return *this;
}

CWPtArray::~CWPtArray() {
  if (!m_bLent) free(m_pData);
}

int CWPtArray::Resize(int newCapacity) {
  if (newCapacity < 1) return 0;
  const size_t bytes = sizeof(void*) * static_cast<size_t>(newCapacity);
  void* fresh;
  if (m_bLent) {
    // As realloc would: the old slots that fit, copied; the lent ones stay.
    fresh = malloc(bytes);
    if (!fresh) return 0;
    memcpy(fresh, m_pData, std::min(bytes, sizeof(void*) * static_cast<size_t>(m_Capacity)));
    m_bLent = false;
  } else {
    fresh = realloc(m_pData, bytes);
    if (!fresh) return 0;
  }
  m_pData = static_cast<void**>(fresh);
  m_Capacity = newCapacity;
  if (m_Count > newCapacity) m_Count = newCapacity;
  return 1;
}

int CWPtArray::Grow() {
  // Refused when 2c is not a positive int, or when 2c + 5 would overflow.
  if (m_Capacity < 1 || m_Capacity > (INT_MAX - 5) / 2) return 0;
  return Resize(2 * m_Capacity + 5);
}

int CWPtArray::Add(void* item) {
  if (m_Count >= m_Capacity && !Grow()) return 0;
  m_pData[m_Count++] = item;
  return 1;
}

void* CWPtArray::GetAt(int index) {
  if (index < 0 || index >= m_Count) return nullptr;
  return m_pData[index];
}

int CWPtArray::RemoveAt(int index) {
  if (index < 0 || index >= m_Count) return 0;
  memmove(m_pData + index, m_pData + index + 1,
          sizeof(void*) * static_cast<size_t>(m_Count - index - 1));
  --m_Count;
  return 1;
}

int CWPtArray::SetAt(int index, void* item) {
  if (index < 0) return 0;
  // index + 1 >= capacity, written so that it cannot overflow.
  if (index >= m_Capacity - 1) {
    if (index > INT_MAX - 7 || !Resize(index + 7)) return 0;
  }
  for (int i = m_Count; i < index; ++i) m_pData[i] = nullptr;
  if (index >= m_Count) m_Count = index + 1;
  m_pData[index] = item;
  return 0;
}

int CWPtArray::InsertAt(int index, void* item) {
  if (index < 0) return 0;
  if (m_Count >= m_Capacity && !Grow()) return 0;
  if (index >= m_Count) return SetAt(index, item);
  memmove(m_pData + index + 1, m_pData + index,
          sizeof(void*) * static_cast<size_t>(m_Count - index));
  m_pData[index] = item;
  ++m_Count;
  return 0;
}

int CWPtArray::SetGrowSize(int size) {
  if (size < 1 || size > INT_MAX - 5) return 0;
  return Resize(size + 5);
}

int CWPtArray::Find(void* item) {
  if (m_Count < 1 || !m_pData) return -1;
  for (int i = 0; i < m_Count; ++i)
    if (m_pData[i] == item) return i;
  return -1;
}

void CWPtArray::RemoveAll() {
  if (!m_pData || m_Capacity < 1) return;
  memset(m_pData, 0, sizeof(void*) * static_cast<size_t>(m_Capacity));
  m_Count = 0;
}
