#include "cwbase/core/bytearray.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Both widths run the shared tests; the byte form has no mask argument.
struct Bytes {
  using Array = CWBYTEArray;
  using T = unsigned char;
  static void AddSorted(Array& a, T v) { a.AddSorted(v); }
  static int Find(Array& a, T v) { return a.Find(v); }
};
struct Words {
  using Array = CWWORDArray;
  using T = unsigned short;
  static void AddSorted(Array& a, T v) { a.AddSorted(v, 0xFFFF); }
  static int Find(Array& a, T v) { return a.Find(v, 0xFFFF); }
};

template <typename F>
class SmallArray : public ::testing::Test {
 protected:
  using T = typename F::T;
  static constexpr T kUntouched = 0xEE;

  // Attaches a buffer of `capacity` elements holding `items` and then
  // kUntouched in every other slot.
  void Attach(std::vector<T> items, int capacity) {
    buf.assign(capacity, kUntouched);
    for (size_t i = 0; i < items.size(); ++i) buf[i] = items[i];
    array.SetBuffer(buf.data(), static_cast<int>(items.size()), capacity);
  }
  std::vector<T> Items() {
    std::vector<T> v;
    v.reserve(array.GetCount());
    for (int i = 0; i < array.GetCount(); ++i) v.push_back(array.GetAt(i));
    return v;
  }

  std::vector<T> buf;
  typename F::Array array;
};
using Widths = ::testing::Types<Bytes, Words>;
TYPED_TEST_SUITE(SmallArray, Widths);

}  // namespace

TYPED_TEST(SmallArray, AdditionsStopAtCapacityMinusOne) {
  using T = typename TypeParam::T;
  this->Attach({}, 4);
  for (T v : {1, 2, 3, 4}) this->array.Add(v);
  TypeParam::AddSorted(this->array, 0);
  this->array.InsertAt(0, 9);
  EXPECT_EQ(this->Items(), (std::vector<T>{1, 2, 3}));
  EXPECT_EQ(this->buf[3], this->kUntouched);

  typename TypeParam::Array none;
  none.Add(1);
  none.InsertAt(0, 1);
  TypeParam::AddSorted(none, 1);
  EXPECT_EQ(none.GetCount(), 0);
  EXPECT_EQ(none.GetAt(0), 0);
  EXPECT_EQ(TypeParam::Find(none, 0), -1);
}

TYPED_TEST(SmallArray, InsertAtWithinAndBeyondTheCount) {
  using T = typename TypeParam::T;
  const T u = this->kUntouched;
  const struct {
    int index;
    std::vector<T> want;
  } cases[] = {{0, {7, 1, 2}},
               {1, {1, 7, 2}},
               {2, {1, 2, 7}},
               {6, {1, 2, u, u, u, u, 7}},
               {9, {1, 2, u, u, u, u, u, u, u, 7}},
               {10, {1, 2}},
               {-1, {1, 2}}};
  for (const auto& c : cases) {
    this->Attach({1, 2}, 10);
    this->array.InsertAt(c.index, 7);
    EXPECT_EQ(this->Items(), c.want) << c.index;
  }
  // Count 10 of capacity 10: everything is refused from now on.
  this->array.InsertAt(9, 7);
  this->array.Add(5);
  this->array.InsertAt(0, 5);
  EXPECT_EQ(this->array.GetCount(), 10);
  EXPECT_EQ(this->array.GetAt(0), 1);
}

TYPED_TEST(SmallArray, SortedInsertionAndFind) {
  using T = typename TypeParam::T;
  this->Attach({}, 8);
  for (T v : {5, 1, 3, 3, 9}) TypeParam::AddSorted(this->array, v);
  EXPECT_EQ(this->Items(), (std::vector<T>{1, 3, 3, 5, 9}));
  EXPECT_EQ(TypeParam::Find(this->array, 3), 1);
  EXPECT_EQ(TypeParam::Find(this->array, 9), 4);
  EXPECT_EQ(TypeParam::Find(this->array, 4), -1);
  this->Attach({}, 8);
  EXPECT_EQ(TypeParam::Find(this->array, this->kUntouched), -1);
}

TYPED_TEST(SmallArray, IndexRangeAndRemoval) {
  using T = typename TypeParam::T;
  this->Attach({7, 8, 9}, 5);
  for (int i : {-1, 3}) {
    EXPECT_EQ(this->array.GetAt(i), 0);
    this->array.SetAt(i, 1);
    this->array.RemoveAt(i);
  }
  EXPECT_EQ(this->Items(), (std::vector<T>{7, 8, 9}));
  EXPECT_EQ(this->buf[3], this->kUntouched);
  this->array.SetAt(2, 6);
  this->array.RemoveAt(0);
  EXPECT_EQ(this->Items(), (std::vector<T>{8, 6}));
  EXPECT_EQ(this->buf[2], 6);  // the freed slot keeps its value
}

TEST(CWWORDArray, MaskedSortingAndMatching) {
  std::vector<unsigned short> buf = {0x0105, 0x0201, 0x0300, 0, 0, 0, 0, 0};
  CWWORDArray a;
  a.SetBuffer(buf.data(), 3, 8);
  a.AddSorted(0x0203, 0xFF00);  // in front of 0x0201, which sorts equal
  EXPECT_EQ(std::vector<unsigned short>(buf.begin(), buf.begin() + 4),
            (std::vector<unsigned short>{0x0105, 0x0203, 0x0201, 0x0300}));
  a.AddSorted(0x00FF, 0xFF00);  // key 0 is below every other key
  EXPECT_EQ(a.GetAt(0), 0x00FF);
  a.AddSorted(0xFF00, 0xFF00);  // key above every other: appended
  EXPECT_EQ(a.GetAt(5), 0xFF00);

  const struct {
    unsigned short value, mask;
    int want;
  } finds[] = {
      {0x5603, 0x00FF, 2},  // low bytes of 0x0203 agree
      {0x0201, 0xFFFF, 3},  {0x0300, 0xFF00, 4},
      {0x1234, 0x00FF, -1}, {0xBEEF, 0x0000, 0},  // mask 0 matches the first element
  };
  for (auto f : finds) EXPECT_EQ(a.Find(f.value, f.mask), f.want) << std::hex << f.value;

  a.SetBuffer(buf.data(), 0, 8);
  for (unsigned short v : {1, 2, 3}) a.AddSorted(v, 0);  // mask 0: always at index 0
  EXPECT_EQ(std::vector<unsigned short>(buf.begin(), buf.begin() + 3),
            (std::vector<unsigned short>{3, 2, 1}));

  buf[0] = 0x5634;
  EXPECT_EQ(a.Find(0x1234, 0x00FF), 0);
}
