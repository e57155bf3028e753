// CWPtArray: a growable array of untyped pointers.
//
// Contract
// - Storage comes from malloc/free; the array never owns, copies or frees what
//   its entries point to. A null entry is a valid entry.
// - Capacities: 5 on construction (0 with no storage when malloc fails); a
//   full array grows to 2c + 5 (5, 15, 35, 75, ...), refused when 2c is not a
//   positive int or 2c + 5 would overflow; SetAt(i) with i + 1 >= capacity
//   re-sizes to i + 7 entries (nothing happens when i + 7 would overflow);
//   SetGrowSize(n) re-sizes to n + 5 entries (refused for n < 1 or when
//   n + 5 would overflow). Entries beyond the count are not cleared on
//   growth; RemoveAll nulls the whole storage.
// - Results: Add and SetGrowSize return 1 done / 0 refused; RemoveAt 1/0;
//   SetAt and InsertAt always 0; Find an index or -1; GetAt null when out of
//   range. Every allocation failure is reported through the result and leaves
//   the array as it was; no exception ever leaves the array.
// - Choice: SetGrowSize(n) with n + 5 below the count keeps the first n + 5
//   entries and cuts the count to n + 5.
// - Copying an array gives storage of its own with the source's capacity, the
//   source's entries, and null beyond the count. A copy whose storage cannot
//   be obtained is empty (capacity 0); an assignment that cannot obtain it
//   leaves the target unchanged. The critical section is never copied.
// Threads: no operation locks the array's critical section; callers that
// share an array serialise access themselves, e.g. with GetCriticalSection().
#pragma once

#include "cwbase/core/critsec.h"

class CWPtArray {
 public:
  CWPtArray();
  CWPtArray(const CWPtArray& other);
  CWPtArray& operator=(const CWPtArray& other);
  virtual ~CWPtArray();

  int Add(void* item);
  void* GetAt(int index);
  int GetSize() { return m_Count; }
  int RemoveAt(int index);
  int SetAt(int index, void* item);
  int InsertAt(int index, void* item);
  int SetGrowSize(int size);
  int Find(void* item);
  void RemoveAll();
  void** GetMemPtr() { return m_pData; }

  // Number of entries the storage holds.
  int GetCapacity() { return m_Capacity; }
  // The recursive mutex carried by the array; the array never locks it.
  CWCriticalSection& GetCriticalSection() { return m_Lock; }

 private:
  int Grow();                    // full array: 2c + 5, 1 done / 0 refused
  int Resize(int newCapacity);   // exact re-size keeping the first entries;
                                 // the count is cut to the new capacity

  int m_Count;
  void** m_pData;
  int m_Capacity;
  CWCriticalSection m_Lock;
};
