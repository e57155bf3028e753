#include "cwbase/core/block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

namespace {

// The whole storage (capacity bytes), or its first n bytes.
std::string Storage(CWBlock& b, unsigned long n = ULONG_MAX) {
  if (n > b.GetCapacity()) n = b.GetCapacity();
  return b.GetBuffer() ? std::string(static_cast<char*>(b.GetBuffer()), n) : std::string();
}
std::string Data(CWBlock& b) {
  return Storage(b, b.GetSize());
}
std::string Zeros(size_t n) {
  return std::string(n, '\0');
}

// A block of `capacity` bytes whose data is `text` and the rest zero.
void Fill(CWBlock& b, const std::string& text, unsigned long capacity) {
  b.Reset();
  b.SetSize(capacity);
  b.SetBuffer(const_cast<char*>(text.data()), text.size());
}

struct Rec {
  unsigned int a, b;
};

struct Rec16 {
  unsigned long long a, b;
};

// Lets a test put the length near the top of the range without the memory.
struct Probe : CWDynArray<Rec> {
  void ForceLength(unsigned long n) { m_Length = n; }
};

}  // namespace

TEST(CWBlock, AddDataGrowsByLengthPlusSizePlus8192) {
  CWBlock b;
  char x[100] = {'x'};
  ASSERT_EQ(b.AddData(x, 1), 1);
  EXPECT_EQ(b.GetCapacity(), 8193u);
  void* storage = b.GetBuffer();
  ASSERT_EQ(b.AddData(x, 100), 1);
  EXPECT_EQ(b.GetBuffer(), storage);
  EXPECT_EQ(b.GetSize(), 101u);

  Fill(b, "01234567", 16);
  ASSERT_EQ(b.AddData(const_cast<char*>("abcdefgh"), 8), 1);  // exact fit
  EXPECT_EQ(b.GetCapacity(), 16u);
  Fill(b, "01234567", 16);
  ASSERT_EQ(b.AddData(const_cast<char*>("abcdefghij"), 10), 1);
  EXPECT_EQ(b.GetCapacity(), 8210u);
  EXPECT_EQ(Data(b), "01234567abcdefghij");
}

TEST(CWBlock, AddDataFromOwnStorageWhileGrowing) {
  CWBlock b(const_cast<char*>("hello"), 5);
  ASSERT_EQ(b.AddData(b.GetBuffer(), 5), 1);
  EXPECT_EQ(Data(b), "hellohello");
  EXPECT_EQ(b.GetCapacity(), 10u + 8192u);
}

TEST(CWBlock, NullSourceOrZeroSizeIsRefusedAndChangesNothing) {
  char x[4] = {1, 2, 3, 4};
  for (int op = 0; op < 4; ++op) {
    CWBlock b;
    Fill(b, "abc", 6);
    void* before = b.GetBuffer();
    int r = op == 0   ? b.SetBuffer(nullptr, 4)
            : op == 1 ? b.SetBuffer(x, 0)
            : op == 2 ? b.AddData(nullptr, 4)
                      : b.AddData(x, 0);
    EXPECT_EQ(r, 0) << op;
    EXPECT_EQ(b.GetBuffer(), before) << op;
    EXPECT_EQ(Storage(b), std::string("abc") + Zeros(3)) << op;
  }
}

TEST(CWBlock, SetBufferKeepsOrReplacesStorageAndZeroesTheRest) {
  CWBlock b;
  Fill(b, "ABCDEFGH", 10);
  ASSERT_EQ(b.SetBuffer(const_cast<char*>("xyz"), 3), 1);
  EXPECT_EQ(b.GetCapacity(), 10u);
  EXPECT_EQ(Storage(b), "xyz" + Zeros(7));
  ASSERT_EQ(b.SetBuffer(const_cast<char*>("0123456789ab"), 12), 1);
  EXPECT_EQ(b.GetCapacity(), 12u);
  // Shifting its own data towards the start.
  ASSERT_EQ(b.SetBuffer(static_cast<char*>(b.GetBuffer()) + 2, 9), 1);
  EXPECT_EQ(Storage(b), "23456789a" + Zeros(3));
}

TEST(CWBlock, ZeroClearsWholeStorageAndKeepsLength) {
  CWBlock b;
  Fill(b, "hello", 8);
  b.Zero();
  EXPECT_EQ(b.GetSize(), 5u);
  EXPECT_EQ(Storage(b), Zeros(8));
}

TEST(CWBlock, AppendOperator) {
  CWBlock empty, seven(const_cast<char*>("1234567"), 7), b;
  b += empty;
  EXPECT_EQ(b.GetBuffer(), nullptr);
  b += seven;
  EXPECT_EQ(b.GetCapacity(), 7u);
  EXPECT_EQ(Data(b), "1234567");
  b += empty;
  EXPECT_EQ(Data(b), "1234567");

  CWBlock self(const_cast<char*>("abc"), 3);
  self += self;
  EXPECT_EQ(self.GetCapacity(), 6u);
  EXPECT_EQ(Data(self), "abcabc");

  Fill(b, "ab", 10);  // room enough: storage kept
  void* storage = b.GetBuffer();
  b += seven;
  EXPECT_EQ(b.GetBuffer(), storage);
  EXPECT_EQ(Storage(b), "ab1234567" + Zeros(1));
}

TEST(CWBlock, AssignmentKeepsFittingStorageOrTakesExactSize) {
  CWBlock b, empty, small(const_cast<char*>("xy"), 2),
      big(const_cast<char*>("0123456789abcdef"), 16);
  Fill(b, "hello", 12);
  b = empty;
  EXPECT_EQ(b.GetCapacity(), 12u);
  EXPECT_EQ(b.GetSize(), 0u);
  EXPECT_EQ(Storage(b), Zeros(12));
  Fill(b, "hello", 12);
  b = small;
  EXPECT_EQ(Storage(b), "xy" + Zeros(10));
  b = big;
  EXPECT_EQ(b.GetCapacity(), 16u);
  EXPECT_EQ(Data(b), "0123456789abcdef");
  CWBlock& alias = b;
  b = alias;
  EXPECT_EQ(Data(b), "0123456789abcdef");
}

TEST(CWBlock, SetSize) {
  CWBlock b;
  EXPECT_EQ(b.SetSize(0), nullptr);
  EXPECT_EQ(b.GetCapacity(), 0u);

  Fill(b, "abcdef", 6);
  b.SetSize(2);  // shrinking clears what it drops
  EXPECT_EQ(Storage(b), "ab" + Zeros(4));
  EXPECT_EQ(b.GetCapacity(), 6u);
  b.SetBuffer(const_cast<char*>("xyz"), 3);
  memcpy(static_cast<char*>(b.GetBuffer()) + 4, "Q", 1);  // beyond the length
  b.SetSize(9);  // the whole old storage moves over, the rest is zero
  EXPECT_EQ(b.GetCapacity(), 9u);
  EXPECT_EQ(Storage(b), std::string("xyz\0Q", 5) + Zeros(4));
  void* storage = b.GetBuffer();
  EXPECT_EQ(b.SetSize(0), storage);
  EXPECT_EQ(Storage(b), Zeros(9));
}

TEST(CWBlock, Constructors) {
  CWBlock none(nullptr, 5), zero(const_cast<char*>("x"), 0), sized(4);
  EXPECT_EQ(none.GetBuffer(), nullptr);
  EXPECT_EQ(zero.GetCapacity(), 0u);
  EXPECT_EQ(sized.GetCapacity(), 4u);
  EXPECT_EQ(sized.GetSize(), 4u);

  CWBlock source(const_cast<char*>("data"), 4), copy(source);
  EXPECT_NE(copy.GetBuffer(), source.GetBuffer());
  EXPECT_EQ(Data(copy), "data");
}

// Read-only sources and a read-only block need no casts; a null pointer
// constant still picks the exact constructor.
TEST(CWBlock, ReadOnlyForms) {
  const char text[] = "literal";
  const CWBlock block(text, 7), none(nullptr, 3);
  const CWBlock zero(NULL, 0);  // NOLINT(modernize-use-nullptr): ported code passes NULL
  EXPECT_EQ(std::string(block.GetBufferAs<char>(), block.GetSize()), "literal");
  EXPECT_NE(block.GetBuffer(), static_cast<const void*>(text));  // a copy
  EXPECT_EQ(none.GetBuffer(), nullptr);
  EXPECT_EQ(zero.GetSize(), 0u);
  CWBlock copy(block);
  copy.GetBufferAs<char>()[0] = 'L';
  EXPECT_EQ(Data(copy), "Literal");
}

TEST(CWBlock, OverflowingSizesFailAsAllocationFailure) {
  EXPECT_THROW(CWBlock huge(ULONG_MAX), std::bad_alloc);
  char x[8] = {};
  CWBlock b(const_cast<char*>("abcd"), 4);
  void* storage = b.GetBuffer();
  EXPECT_THROW(b.AddData(x, ULONG_MAX - 2), std::bad_alloc);         // length + size
  EXPECT_THROW(b.AddData(x, ULONG_MAX - 8192 - 3), std::bad_alloc);  // ... + 8192
  EXPECT_THROW(b.SetSize(ULONG_MAX), std::bad_alloc);
  EXPECT_THROW(b.SetBuffer(x, ULONG_MAX), std::bad_alloc);
  EXPECT_EQ(b.GetBuffer(), storage);
  EXPECT_EQ(b.GetCapacity(), 4u);
  EXPECT_EQ(Data(b), "abcd");

  Probe p;
  p.SetSize(sizeof(Rec));
  void* own = p.GetBuffer();
  p.ForceLength(ULONG_MAX - 3);
  EXPECT_EQ(p.Add(), nullptr);
  p += b;  // caught: nothing appended
  EXPECT_EQ(p.GetSize(), ULONG_MAX - 3);
  EXPECT_EQ(p.GetBuffer(), own);
  EXPECT_EQ(p.GetCapacity(), sizeof(Rec));
}

TEST(CWDynArray, CountAndAdd) {
  CWDynArray<Rec> a;
  a.SetSize(20);
  EXPECT_EQ(a.GetCount(), 2);
  a.SetSize(7);
  EXPECT_EQ(a.GetCount(), 0);

  a.Reset();
  for (unsigned i = 0; i < 3; ++i) {
    Rec* r = a.Add();
    ASSERT_NE(r, nullptr);
    *r = {i + 1, i + 2};
    EXPECT_EQ(a.GetCapacity(), (i + 1) * sizeof(Rec));  // exact growth
  }
  EXPECT_EQ(a.GetAt(2)->a, 3u);
  a.RemoveAll();
  void* storage = a.GetBuffer();
  for (int i = 0; i < 2; ++i) {
    Rec* r = a.Add();
    EXPECT_EQ(r, a.GetAt(i));
    EXPECT_EQ(r->a | r->b, 0u);
  }
  EXPECT_EQ(a.GetBuffer(), storage);
  EXPECT_EQ(a.GetCount(), 2);
}

TEST(CWDynArray, AddReturnsTheNewLastElementWhateverTheLength) {
  // Add grows the length by one record; the record it returns is the last
  // whole one, so after a length that is not a multiple of the record size
  // it starts below the old length.
  enum Setup { kSetSize, kSetBuffer, kAddData };
  struct Case {
    Setup setup;
    unsigned long length;  // before Add
    int index;             // of the record returned
  } cases[] = {
      {kSetSize, 0, 0},  {kSetSize, 6, 0},   {kSetSize, 16, 1},   {kSetSize, 31, 1},
      {kSetSize, 32, 2}, {kSetBuffer, 5, 0}, {kSetBuffer, 16, 1}, {kSetBuffer, 17, 1},
      {kAddData, 20, 1}, {kAddData, 48, 3},  {kAddData, 1, 0},
  };
  char source[64];
  for (unsigned i = 0; i < sizeof source; ++i) source[i] = static_cast<char>('a' + i % 26);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.setup) + "/" + std::to_string(c.length));
    CWDynArray<Rec16> a;
    if (c.setup == kSetSize) a.SetSize(c.length);
    if (c.setup == kSetBuffer) a.SetBuffer(source, c.length);
    if (c.setup == kAddData) a.AddData(source, c.length);
    const unsigned long capacity = a.GetCapacity();
    Rec16* r = a.Add();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(a.GetSize(), c.length + sizeof(Rec16));
    EXPECT_EQ(a.GetCount(), c.index + 1);
    EXPECT_EQ(r, a.GetAt(c.index));
    EXPECT_EQ(a.GetCapacity(), std::max(capacity, a.GetSize()));  // AddData's room is used
    r->a = 1;  // a misplaced record would be a misaligned write
    r->b = 2;
    EXPECT_EQ(a.GetAt(a.GetCount() - 1)->b, 2u);
  }
  // The partial record's bytes stay; the rest of the record is zero.
  CWDynArray<Rec16> a;
  a.SetBuffer(source, 5);
  Rec16* r = a.Add();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r), sizeof(Rec16)),
            std::string(source, 5) + Zeros(11));
}
