// Allocation failures of the blocks and the pointer array, made real by a
// capped address space (see addresslimit_test.h): what each operation reports
// and that the object is left exactly as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "cwbase/core/block.h"
#include "cwbase/core/ptarray.h"
#include "testing/addresslimit.h"

namespace {

constexpr unsigned long kBig = 40ul << 20;  // well beyond the child's headroom

TEST(AllocationFailure, BlockOperationsLeaveTheBlockAsItWas) {
  std::vector<unsigned char> source(kBig, 'x');
  CWBlock big(source.data(), kBig);  // allocated before the cap
  CWDynArray<uint64_t> records;
  records.SetSize(kBig);  // full: the next Add must replace the storage
  CWRunWithAddressLimit([&] {
    CWBlock block(const_cast<char*>("abc"), 3);
    void* storage = block.GetBuffer();
    auto unchanged = [&] {
      return block.GetBuffer() == storage && block.GetSize() == 3 && block.GetCapacity() == 3 &&
             std::memcmp(storage, "abc", 3) == 0;
    };
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { block.SetBuffer(source.data(), kBig); }) && unchanged());
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { block.AddData(source.data(), kBig); }) && unchanged());
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { block.SetSize(kBig); }) && unchanged());
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { block = big; }) && unchanged());
    CW_TEST_CHILD_CHECK(CWTestThrows([] { CWBlock sized(kBig); }));
    CW_TEST_CHILD_CHECK(CWTestThrows([&] { (void)CWBlock(big); }));
    block += big;  // caught: nothing appended
    CW_TEST_CHILD_CHECK(unchanged());

    void* arrayStorage = records.GetBuffer();
    CW_TEST_CHILD_CHECK(records.Add() == nullptr);
    CW_TEST_CHILD_CHECK(records.GetBuffer() == arrayStorage && records.GetSize() == kBig &&
                        records.GetCapacity() == kBig);
    // Small requests still succeed: the block works on.
    CW_TEST_CHILD_CHECK(block.AddData(const_cast<char*>("d"), 1) == 1 && block.GetSize() == 4);
  });
}

TEST(AllocationFailure, PointerArrayReportsAndKeepsItsEntries) {
  constexpr int kEntries = 4 << 20;  // 32 MiB of entries, full
  CWPtArray array;
  ASSERT_EQ(1, array.SetGrowSize(kEntries - 5));
  for (int i = 0; i < kEntries; ++i)
    array.Add(reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1)));
  ASSERT_EQ(kEntries, array.GetSize());
  ASSERT_EQ(kEntries, array.GetCapacity());
  CWRunWithAddressLimit([&] {
    void** storage = array.GetMemPtr();
    auto unchanged = [&] {
      return array.GetMemPtr() == storage && array.GetSize() == kEntries &&
             array.GetCapacity() == kEntries && array.GetAt(0) == reinterpret_cast<void*>(1) &&
             array.GetAt(kEntries - 1) == reinterpret_cast<void*>(static_cast<uintptr_t>(kEntries));
    };
    CW_TEST_CHILD_CHECK(array.Add(nullptr) == 0 && unchanged());          // growth to 2c + 5
    CW_TEST_CHILD_CHECK(array.InsertAt(0, nullptr) == 0 && unchanged());  // the same growth
    CW_TEST_CHILD_CHECK(array.SetAt(4 * kEntries, nullptr) == 0 && unchanged());
    CW_TEST_CHILD_CHECK(array.SetGrowSize(4 * kEntries) == 0 && unchanged());

    // A copy that cannot get storage is empty, refuses additions, and gets
    // storage again from SetGrowSize.
    CWPtArray copy(array);
    CW_TEST_CHILD_CHECK(copy.GetCapacity() == 0 && copy.GetSize() == 0 &&
                        copy.GetMemPtr() == nullptr);
    CW_TEST_CHILD_CHECK(copy.Add(nullptr) == 0 && copy.GetAt(0) == nullptr &&
                        copy.Find(nullptr) == -1);
    CW_TEST_CHILD_CHECK(copy.SetGrowSize(1) == 1 && copy.GetCapacity() == 6 &&
                        copy.Add(&copy) == 1);

    // An assignment that cannot get storage leaves the target as it was.
    CWPtArray small;
    small.Add(&small);
    small = array;
    CW_TEST_CHILD_CHECK(small.GetSize() == 1 && small.GetCapacity() == 5 &&
                        small.GetAt(0) == &small);
  });
}

}  // namespace

namespace {

TEST(AllocationFailure, ArrayConstructedWithoutStorage) {
  CWRunWithAddressLimit([] {
    CWTestExhaustMemory();
    CWPtArray array;  // no storage: capacity 0, every addition refused
    CW_TEST_CHILD_CHECK(array.GetCapacity() == 0 && array.GetMemPtr() == nullptr);
    CW_TEST_CHILD_CHECK(array.Add(&array) == 0 && array.InsertAt(0, &array) == 0);
    CW_TEST_CHILD_CHECK(array.GetSize() == 0 && array.GetAt(0) == nullptr &&
                        array.Find(nullptr) == -1);
    array.RemoveAll();
    CW_TEST_CHILD_CHECK(array.SetGrowSize(1) == 0 && array.GetCapacity() == 0);
  });
}

}  // namespace
