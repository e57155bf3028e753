// The slots an object lends to the CWPtArray objects it holds, so that their
// first entries need no malloc of their own (see ptarray.h). The lender keeps
// the slots alive as long as the arrays; an array never frees them and moves
// to malloc storage on its first re-size. Private to the library.
#pragma once

namespace cwbase_internal {

// Entries in the storage a CWPtArray starts with: the slots lent to each
// array.
constexpr int kPtArrayFirstCapacity = 5;

}  // namespace cwbase_internal
