// LentSlots: storage an object lends to a CWPtArray it holds, so that the
// array's first five slots need no malloc of their own (see ptarray.h).
// The lender keeps the slots alive as long as the array; the array never
// frees them and moves to malloc storage on its first re-size.
// Private to the library.
#pragma once

namespace cwbase_internal {

// Entries in the storage a CWPtArray starts with.
constexpr int kPtArrayFirstCapacity = 5;

struct LentSlots {
  // kPtArrayFirstCapacity slots, or null to lend none.
  void** m_pSlots;
};

}  // namespace cwbase_internal
