#include "cwbase/core/ptarray.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

#include "cwbase/core/internal/lent_slots.h"

namespace {

void* P(long n) {
  return reinterpret_cast<void*>(n);
}

std::vector<void*> Entries(CWPtArray& a) {
  std::vector<void*> v;
  v.reserve(a.GetSize());
  for (int i = 0; i < a.GetSize(); ++i) v.push_back(a.GetAt(i));
  return v;
}

CWPtArray Make(const std::vector<long>& items) {
  CWPtArray a;
  for (long n : items) a.Add(P(n));
  return a;
}

}  // namespace

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
    while (n < s.count) ASSERT_EQ(a.Add(P(++n)), 1);
    EXPECT_EQ(a.GetCapacity(), s.capacity) << s.count;
  }
  for (int i = 0; i < a.GetSize(); ++i) ASSERT_EQ(a.GetAt(i), P(i + 1));
}

TEST(CWPtArray, IndexRangeAndRemoval) {
  CWPtArray a = Make({1, 2, 3});
  for (int i : {-1, 3, INT_MIN, INT_MAX}) {
    EXPECT_EQ(a.GetAt(i), nullptr);
    EXPECT_EQ(a.RemoveAt(i), 0);
  }
  EXPECT_EQ(a.RemoveAt(0), 1);
  EXPECT_EQ(Entries(a), (std::vector<void*>{P(2), P(3)}));
}

TEST(CWPtArray, SetAtExtendsAndResizesToIndexPlusSeven) {
  const struct { int index, count, capacity; } cases[] = {{3, 4, 5}, {4, 5, 11}, {20, 21, 27}};
  for (auto c : cases) {
    CWPtArray a;
    EXPECT_EQ(a.SetAt(c.index, P(9)), 0);
    EXPECT_EQ(a.GetSize(), c.count);
    EXPECT_EQ(a.GetCapacity(), c.capacity);
    std::vector<void*> want(c.index, nullptr);
    want.push_back(P(9));
    EXPECT_EQ(Entries(a), want);
  }
  CWPtArray a = Make({1, 2});
  a.SetAt(0, P(7));
  a.SetAt(-1, P(8));
  a.SetAt(INT_MAX, P(8));  // index + 7 overflows: refused
  EXPECT_EQ(Entries(a), (std::vector<void*>{P(7), P(2)}));
  EXPECT_EQ(a.GetCapacity(), 5);
}

TEST(CWPtArray, InsertAt) {
  CWPtArray a = Make({1, 2});
  EXPECT_EQ(a.InsertAt(1, P(9)), 0);
  EXPECT_EQ(Entries(a), (std::vector<void*>{P(1), P(9), P(2)}));
  a.InsertAt(-1, P(8));
  EXPECT_EQ(a.GetSize(), 3);

  CWPtArray b = Make({1, 2});
  b.InsertAt(5, P(9));
  EXPECT_EQ(Entries(b), (std::vector<void*>{P(1), P(2), nullptr, nullptr, nullptr, P(9)}));

  CWPtArray full = Make({1, 2, 3, 4, 5});
  full.InsertAt(0, P(9));
  EXPECT_EQ(full.GetCapacity(), 15);
  EXPECT_EQ(Entries(full), (std::vector<void*>{P(9), P(1), P(2), P(3), P(4), P(5)}));
}

TEST(CWPtArray, FindAndRemoveAll) {
  CWPtArray a;
  EXPECT_EQ(a.Find(nullptr), -1);
  a = Make({1, 2, 0, 2});
  EXPECT_EQ(a.Find(P(2)), 1);
  EXPECT_EQ(a.Find(nullptr), 2);
  EXPECT_EQ(a.Find(P(5)), -1);

  void** storage = a.GetMemPtr();
  a.RemoveAll();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.GetCapacity(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(storage[i], nullptr);
  a.Add(P(1));
  EXPECT_EQ(a.GetMemPtr(), storage);
}

TEST(CWPtArray, SetGrowSize) {
  CWPtArray a = Make({1, 2, 3});
  for (int n : {0, -4, INT_MAX}) EXPECT_EQ(a.SetGrowSize(n), 0);
  EXPECT_EQ(a.GetCapacity(), 5);
  EXPECT_EQ(a.SetGrowSize(100), 1);
  EXPECT_EQ(a.GetCapacity(), 105);
  EXPECT_EQ(Entries(a), (std::vector<void*>{P(1), P(2), P(3)}));

  CWPtArray big = Make({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(big.SetGrowSize(1), 1);  // keeps the first six entries
  EXPECT_EQ(big.GetCapacity(), 6);
  EXPECT_EQ(Entries(big), (std::vector<void*>{P(1), P(2), P(3), P(4), P(5), P(6)}));
}

TEST(CWPtArray, CopiesOwnTheirStorage) {
  CWPtArray a = Make({1, 2, 3});
  CWPtArray copy(a), assigned;
  assigned = a;
  for (CWPtArray* c : {&copy, &assigned}) {
    EXPECT_NE(c->GetMemPtr(), a.GetMemPtr());
    EXPECT_EQ(Entries(*c), Entries(a));
    EXPECT_EQ(c->GetCapacity(), 5);
  }
  copy.SetAt(0, P(9));
  EXPECT_EQ(a.GetAt(0), P(1));
}

// An array on lent slots answers every operation exactly as one on malloc
// storage: the same results, counts, capacities and entries, step by step,
// while the lent slots are used until the first re-size and never freed.
TEST(CWPtArray, LentSlotsBehaveAsMallocStorage) {
  using Op = std::function<int(CWPtArray&)>;
  const std::vector<std::vector<Op>> scripts = {
      {[](CWPtArray& a) { return a.Add(P(1)); }, [](CWPtArray& a) { return a.Add(P(2)); },
       [](CWPtArray& a) { return a.RemoveAt(0); }, [](CWPtArray& a) { return a.Find(P(2)); }},
      {[](CWPtArray& a) { return a.SetAt(3, P(7)); },   // stays within the lent slots
       [](CWPtArray& a) { return a.SetAt(4, P(8)); }},  // re-sizes to 11
      {[](CWPtArray& a) { return a.InsertAt(0, P(3)); }, [](CWPtArray& a) { return a.Add(P(4)); },
       [](CWPtArray& a) { return a.Add(P(5)); }, [](CWPtArray& a) { return a.Add(P(6)); },
       [](CWPtArray& a) { return a.Add(P(7)); }, [](CWPtArray& a) { return a.InsertAt(1, P(9)); }},
      {[](CWPtArray& a) { return a.SetGrowSize(1); }, [](CWPtArray& a) { return a.Add(P(1)); }},
      {[](CWPtArray& a) { return a.SetGrowSize(0); },
       [](CWPtArray& a) {
         a.RemoveAll();
         return a.GetSize();
       }},
      {[](CWPtArray& a) {
        a = Make({1, 2, 3, 4, 5, 6});
        return a.GetCapacity();
      }},
  };
  for (size_t s = 0; s < scripts.size(); ++s) {
    void* slots[cwbase_internal::kPtArrayFirstCapacity + 1];
    slots[cwbase_internal::kPtArrayFirstCapacity] = P(77);  // just past the lent slots
    {
      CWPtArray lent{cwbase_internal::LentSlots{slots}};
      CWPtArray plain;
      ASSERT_EQ(lent.GetMemPtr(), slots);
      ASSERT_EQ(lent.GetCapacity(), plain.GetCapacity());
      for (size_t k = 0; k < scripts[s].size(); ++k) {
        SCOPED_TRACE(testing::Message() << "script " << s << " step " << k);
        EXPECT_EQ(scripts[s][k](lent), scripts[s][k](plain));
        EXPECT_EQ(lent.GetCapacity(), plain.GetCapacity());
        EXPECT_EQ(Entries(lent), Entries(plain));
        EXPECT_EQ(lent.GetMemPtr() == slots, lent.GetCapacity() == 5 && s != 5);
        CWPtArray copy(lent);
        EXPECT_EQ(Entries(copy), Entries(plain));
        EXPECT_NE(copy.GetMemPtr(), slots);
      }
    }  // destroying `lent` frees nothing of `slots` (ASan would report it)
    EXPECT_EQ(slots[cwbase_internal::kPtArrayFirstCapacity], P(77));
  }
  CWPtArray none{cwbase_internal::LentSlots{nullptr}};  // lends nothing: malloc storage
  EXPECT_EQ(none.GetCapacity(), 5);
  EXPECT_NE(none.GetMemPtr(), nullptr);
}
