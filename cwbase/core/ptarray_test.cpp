#include "cwbase/core/ptarray.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "testing/ptarray.h"

TEST(CWPtArray, AddGrowsToTwiceCapacityPlusFive) {
  CWPtArray a;
  EXPECT_EQ(a.GetCapacity(), 5);
  EXPECT_EQ(a.GetSize(), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a.GetMemPtr()[i], nullptr) << i;  // slots start null
  const struct {
    int count, capacity;
  } steps[] = {{5, 5}, {6, 15}, {15, 15}, {16, 35}, {36, 75}, {76, 155}};
  long n = 0;
  for (auto s : steps) {
    while (n < s.count) ASSERT_EQ(a.Add(PtEntry(++n)), 1);
    EXPECT_EQ(a.GetCapacity(), s.capacity) << s.count;
  }
  for (int i = 0; i < a.GetSize(); ++i) ASSERT_EQ(a.GetAt(i), PtEntry(i + 1));
}

TEST(CWPtArray, IndexRangeAndRemoval) {
  CWPtArray a = PtArrayOf({1, 2, 3});
  for (int i : {-1, 3, INT_MIN, INT_MAX}) {
    EXPECT_EQ(a.GetAt(i), nullptr);
    EXPECT_EQ(a.RemoveAt(i), 0);
  }
  EXPECT_EQ(a.RemoveAt(0), 1);
  EXPECT_EQ(PtEntries(a), (std::vector<void*>{PtEntry(2), PtEntry(3)}));
}

TEST(CWPtArray, SetAtExtendsAndResizesToIndexPlusSeven) {
  const struct { int index, count, capacity; } cases[] = {{3, 4, 5}, {4, 5, 11}, {20, 21, 27}};
  for (auto c : cases) {
    CWPtArray a;
    EXPECT_EQ(a.SetAt(c.index, PtEntry(9)), 0);
    EXPECT_EQ(a.GetSize(), c.count);
    EXPECT_EQ(a.GetCapacity(), c.capacity);
    std::vector<void*> want(c.index, nullptr);
    want.push_back(PtEntry(9));
    EXPECT_EQ(PtEntries(a), want);
  }
  CWPtArray a = PtArrayOf({1, 2});
  a.SetAt(0, PtEntry(7));
  a.SetAt(-1, PtEntry(8));
  a.SetAt(INT_MAX, PtEntry(8));  // index + 7 overflows: refused
  EXPECT_EQ(PtEntries(a), (std::vector<void*>{PtEntry(7), PtEntry(2)}));
  EXPECT_EQ(a.GetCapacity(), 5);
}

TEST(CWPtArray, InsertAt) {
  CWPtArray a = PtArrayOf({1, 2});
  EXPECT_EQ(a.InsertAt(1, PtEntry(9)), 0);
  EXPECT_EQ(PtEntries(a), (std::vector<void*>{PtEntry(1), PtEntry(9), PtEntry(2)}));
  a.InsertAt(-1, PtEntry(8));
  EXPECT_EQ(a.GetSize(), 3);

  CWPtArray b = PtArrayOf({1, 2});
  b.InsertAt(5, PtEntry(9));
  EXPECT_EQ(PtEntries(b),
            (std::vector<void*>{PtEntry(1), PtEntry(2), nullptr, nullptr, nullptr, PtEntry(9)}));

  CWPtArray full = PtArrayOf({1, 2, 3, 4, 5});
  full.InsertAt(0, PtEntry(9));
  EXPECT_EQ(full.GetCapacity(), 15);
  EXPECT_EQ(PtEntries(full), (std::vector<void*>{PtEntry(9), PtEntry(1), PtEntry(2), PtEntry(3),
                                                 PtEntry(4), PtEntry(5)}));
}

TEST(CWPtArray, FindAndRemoveAll) {
  CWPtArray a;
  EXPECT_EQ(a.Find(nullptr), -1);
  a = PtArrayOf({1, 2, 0, 2});
  EXPECT_EQ(a.Find(PtEntry(2)), 1);
  EXPECT_EQ(a.Find(nullptr), 2);
  EXPECT_EQ(a.Find(PtEntry(5)), -1);

  void** storage = a.GetMemPtr();
  a.RemoveAll();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.GetCapacity(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(storage[i], nullptr);
  a.Add(PtEntry(1));
  EXPECT_EQ(a.GetMemPtr(), storage);
}

TEST(CWPtArray, SetGrowSize) {
  CWPtArray a = PtArrayOf({1, 2, 3});
  for (int n : {0, -4, INT_MAX}) EXPECT_EQ(a.SetGrowSize(n), 0);
  EXPECT_EQ(a.GetCapacity(), 5);
  EXPECT_EQ(a.SetGrowSize(100), 1);
  EXPECT_EQ(a.GetCapacity(), 105);
  EXPECT_EQ(PtEntries(a), (std::vector<void*>{PtEntry(1), PtEntry(2), PtEntry(3)}));

  CWPtArray big = PtArrayOf({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(big.SetGrowSize(1), 1);  // keeps the first six entries
  EXPECT_EQ(big.GetCapacity(), 6);
  EXPECT_EQ(PtEntries(big), (std::vector<void*>{PtEntry(1), PtEntry(2), PtEntry(3), PtEntry(4),
                                                PtEntry(5), PtEntry(6)}));
}

TEST(CWPtArray, CopiesOwnTheirStorage) {
  CWPtArray a = PtArrayOf({1, 2, 3});
  CWPtArray copy(a), assigned;
  assigned = a;
  for (CWPtArray* c : {&copy, &assigned}) {
    EXPECT_NE(c->GetMemPtr(), a.GetMemPtr());
    EXPECT_EQ(PtEntries(*c), PtEntries(a));
    EXPECT_EQ(c->GetCapacity(), 5);
  }
  copy.SetAt(0, PtEntry(9));
  EXPECT_EQ(a.GetAt(0), PtEntry(1));
}
