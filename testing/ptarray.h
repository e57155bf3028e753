// Test aids for CWPtArray: entries made from numbers, an array's entries as a
// vector, and an array filled from numbers.
#pragma once

#include <vector>

#include "cwbase/core/ptarray.h"

// The number n as an entry; the array never reads what its entries point to.
inline void* PtEntry(long n) {
  return reinterpret_cast<void*>(n);
}

// The entries at indices 0 to count - 1, in order.
inline std::vector<void*> PtEntries(CWPtArray& a) {
  std::vector<void*> v;
  v.reserve(a.GetSize());
  for (int i = 0; i < a.GetSize(); ++i) v.push_back(a.GetAt(i));
  return v;
}

// A new array with PtEntry(n) added for each of `items`, in order.
inline CWPtArray PtArrayOf(const std::vector<long>& items) {
  CWPtArray a;
  for (long n : items) a.Add(PtEntry(n));
  return a;
}
