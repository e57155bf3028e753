// Stateful fuzzing of CWBlock and CWDynArray: a random sequence of operations
// on a small pool of arrays (each one a block too) is replayed on a plain
// model, and after every step the length, capacity, storage pointer and every
// byte whose value the header promises are compared with it.
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "cwbase/core/block.h"
#include "fuzz_util.h"

namespace {

struct Rec {
  uint32_t a, b, c;  // 12 bytes: lengths that are not a multiple of it occur
};
using Array = CWDynArray<Rec>;

constexpr int kUnknown = -1;                   // a byte whose value the contract leaves open
constexpr unsigned long kMaxLength = 1 << 16;  // keeps repeated doubling cheap

struct Model {
  unsigned long length = 0;
  std::vector<int> bytes;  // one per byte of storage (size == capacity)
  unsigned long Capacity() const { return bytes.size(); }
};

void Verify(Array& block, const Model& m) {
  FUZZ_CHECK(block.GetSize() == m.length);
  FUZZ_CHECK(block.GetCapacity() == m.Capacity());
  FUZZ_CHECK((block.GetBuffer() == nullptr) == (m.Capacity() == 0));
  FUZZ_CHECK(block.GetCount() == static_cast<int>(m.length / sizeof(Rec)));
  auto* p = static_cast<unsigned char*>(block.GetBuffer());
  for (size_t i = 0; i < m.bytes.size(); ++i)
    if (m.bytes[i] != kUnknown) FUZZ_CHECK(p[i] == m.bytes[i]);
}

void ModelSetSize(Model& m, unsigned long size) {
  if (size == 0 && m.Capacity() == 0) return;
  if (m.Capacity() != 0 && size <= m.Capacity()) {
    for (size_t i = size; i < m.bytes.size(); ++i) m.bytes[i] = 0;
  } else {
    m.bytes.resize(size, 0);  // old storage copied whole, the rest zero
  }
  m.length = size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ModelPool<Array, Model, 3> pool;

  ForEachStep(in, 64, 15, pool.kSize, [&](int op, int a) {
    int b = in.ConsumeIntegralInRange<int>(0, pool.kSize - 1);
    Array& blk = pool.objects[a];
    Model& m = pool.models[a];
    void* before = blk.GetBuffer();
    bool keepsStorage = false;

    switch (op) {
      case 0: {  // SetBuffer from outside bytes (null source or size 0 refused)
        std::vector<uint8_t> src =
            in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
        bool nullSource = in.ConsumeBool();
        int r = blk.SetBuffer(nullSource ? nullptr : src.data(), src.size());
        if (nullSource || src.empty()) {
          FUZZ_CHECK(r == 0);
          keepsStorage = true;
          break;
        }
        FUZZ_CHECK(r == 1);
        keepsStorage = src.size() <= m.Capacity();
        if (!keepsStorage) m.bytes.assign(src.size(), 0);
        for (size_t i = 0; i < m.bytes.size(); ++i) m.bytes[i] = i < src.size() ? src[i] : 0;
        m.length = src.size();
        break;
      }
      case 1: {  // SetBuffer from a range of the block's own data
        if (m.length == 0) break;
        unsigned long off = in.ConsumeIntegralInRange<unsigned long>(0, m.length - 1);
        unsigned long n = in.ConsumeIntegralInRange<unsigned long>(1, m.length - off);
        std::vector<int> src(m.bytes.begin() + static_cast<long>(off),
                             m.bytes.begin() + static_cast<long>(off + n));
        FUZZ_CHECK(blk.SetBuffer(static_cast<unsigned char*>(blk.GetBuffer()) + off, n) == 1);
        keepsStorage = true;
        for (size_t i = 0; i < m.bytes.size(); ++i) m.bytes[i] = i < n ? src[i] : 0;
        m.length = n;
        break;
      }
      case 2: {  // AddData from outside bytes
        std::vector<uint8_t> src =
            in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
        bool nullSource = in.ConsumeBool();
        int r = blk.AddData(nullSource ? nullptr : src.data(), src.size());
        if (nullSource || src.empty()) {
          FUZZ_CHECK(r == 0);
          keepsStorage = true;
          break;
        }
        FUZZ_CHECK(r == 1);
        unsigned long needed = m.length + src.size();
        keepsStorage = needed <= m.Capacity();
        if (!keepsStorage) m.bytes.resize(needed + 8192, kUnknown);
        for (size_t i = 0; i < src.size(); ++i) m.bytes[m.length + i] = src[i];
        // When the storage is replaced, the old spare room is gone.
        if (!keepsStorage)
          for (size_t i = needed; i < m.bytes.size(); ++i) m.bytes[i] = kUnknown;
        m.length = needed;
        break;
      }
      case 3: {  // AddData from a range of the block's own storage
        if (m.length == 0 || m.length > kMaxLength) break;
        unsigned long off = in.ConsumeIntegralInRange<unsigned long>(0, m.length - 1);
        unsigned long n = in.ConsumeIntegralInRange<unsigned long>(1, m.length - off);
        std::vector<int> src(m.bytes.begin() + static_cast<long>(off),
                             m.bytes.begin() + static_cast<long>(off + n));
        FUZZ_CHECK(blk.AddData(static_cast<unsigned char*>(blk.GetBuffer()) + off, n) == 1);
        unsigned long needed = m.length + n;
        keepsStorage = needed <= m.Capacity();
        if (!keepsStorage) {
          m.bytes.resize(m.length);
          m.bytes.resize(needed + 8192, kUnknown);
        }
        for (size_t i = 0; i < n; ++i) m.bytes[m.length + i] = src[i];
        m.length = needed;
        break;
      }
      case 4: {                                                    // operator+= (b may be a itself)
        if (m.length + pool.models[b].length > kMaxLength) break;  // self-appends double
        Model other = pool.models[b];
        blk += pool.objects[b];
        if (other.length == 0) {
          keepsStorage = true;
          break;
        }
        unsigned long total = m.length + other.length;
        keepsStorage = total <= m.Capacity();
        if (!keepsStorage) m.bytes.resize(total);
        for (size_t i = 0; i < other.length; ++i) m.bytes[m.length + i] = other.bytes[i];
        m.length = total;
        break;
      }
      case 5: {  // operator= (b may be a itself)
        Model other = pool.models[b];
        Array& result = static_cast<Array&>(blk = pool.objects[b]);
        FUZZ_CHECK(&result == &blk);
        if (a == b) {
          keepsStorage = true;
          break;
        }
        keepsStorage = other.length <= m.Capacity();
        if (!keepsStorage) m.bytes.assign(other.length, 0);
        for (size_t i = 0; i < m.bytes.size(); ++i)
          m.bytes[i] = i < other.length ? other.bytes[i] : 0;
        m.length = other.length;
        break;
      }
      case 6: {  // SetSize
        unsigned long n = in.ConsumeIntegralInRange<unsigned long>(0, 400);
        keepsStorage = (m.Capacity() != 0 && n <= m.Capacity()) || (n == 0 && m.Capacity() == 0);
        void* r = blk.SetSize(n);
        ModelSetSize(m, n);
        FUZZ_CHECK(r == blk.GetBuffer());
        break;
      }
      case 7:  // Reset
        blk.Reset();
        m = Model();
        break;
      case 8:  // Zero
        blk.Zero();
        keepsStorage = true;
        for (int& v : m.bytes) v = 0;
        break;
      case 9: {  // copy construction: storage of exactly the data
        CWBlock copy(pool.objects[b]);
        FUZZ_CHECK(copy.GetSize() == pool.models[b].length);
        FUZZ_CHECK(copy.GetCapacity() == pool.models[b].length);
        if (pool.models[b].length) {
          FUZZ_CHECK(copy.GetBuffer() != pool.objects[b].GetBuffer());
          FUZZ_CHECK(memcmp(copy.GetBuffer(), pool.objects[b].GetBuffer(), pool.models[b].length) ==
                     0);
        } else {
          FUZZ_CHECK(copy.GetBuffer() == nullptr);
        }
        keepsStorage = true;
        break;
      }
      case 10: {  // CWDynArray::Add, then the caller fills the record
        unsigned long old = m.length;
        Rec* r = blk.Add();
        FUZZ_CHECK(r != nullptr);
        // The new last whole record: it starts at the old length only when
        // that is a multiple of the record size.
        const unsigned long at = (old + sizeof(Rec)) / sizeof(Rec) * sizeof(Rec) - sizeof(Rec);
        FUZZ_CHECK(reinterpret_cast<unsigned char*>(r) ==
                   static_cast<unsigned char*>(blk.GetBuffer()) + at);
        FUZZ_CHECK(r == blk.GetAt(blk.GetCount() - 1));
        keepsStorage = old + sizeof(Rec) <= m.Capacity();
        ModelSetSize(m, old + sizeof(Rec));
        Verify(blk, m);
        uint8_t fill = in.ConsumeIntegral<uint8_t>();
        const uint32_t word = fill * 0x01010101u;
        *r = {word, word, word};  // a record typed write: misaligned if misplaced
        for (size_t i = 0; i < sizeof(Rec); ++i) m.bytes[at + i] = fill;
        break;
      }
      case 11:  // CWDynArray::RemoveAll
        blk.RemoveAll();
        keepsStorage = true;
        if (m.Capacity()) {
          for (int& v : m.bytes) v = 0;
          m.length = 0;
        }
        break;
      case 12: {  // sizes that overflow or exceed PTRDIFF_MAX fail as bad_alloc
        unsigned long k = in.ConsumeIntegralInRange<unsigned long>(0, 20000);
        int which = in.ConsumeIntegralInRange<int>(0, 3);
        bool threw = false;
        unsigned char dummy = 0;
        try {
          if (which == 0) blk.AddData(&dummy, ULONG_MAX - k);  // length + size or + 8192 wraps
          if (which == 1) blk.SetBuffer(&dummy, ULONG_MAX - k);
          if (which == 2) blk.SetSize(ULONG_MAX - k);
          if (which == 3) blk.SetSize(static_cast<unsigned long>(PTRDIFF_MAX) + 1 + k);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        FUZZ_CHECK(threw);
        keepsStorage = true;
        break;
      }
      case 13: {  // the sized constructor, huge: throws and creates nothing
        bool threw = false;
        try {
          CWBlock huge(ULONG_MAX - in.ConsumeIntegralInRange<unsigned long>(0, 100));
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        FUZZ_CHECK(threw);
        keepsStorage = true;
        break;
      }
      case 14: {  // the two constructors that copy
        std::vector<uint8_t> src =
            in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
        CWBlock copy(src.empty() ? nullptr : src.data(), src.size());
        FUZZ_CHECK(copy.GetSize() == src.size() && copy.GetCapacity() == src.size());
        if (!src.empty()) FUZZ_CHECK(memcmp(copy.GetBuffer(), src.data(), src.size()) == 0);
        CWBlock sized(src.size());
        FUZZ_CHECK(sized.GetSize() == src.size() && sized.GetCapacity() == src.size());
        FUZZ_CHECK((sized.GetBuffer() == nullptr) == src.empty());
        keepsStorage = true;
        break;
      }
      default: {  // writes through GetBuffer into the data
        if (m.length == 0) break;
        unsigned long off = in.ConsumeIntegralInRange<unsigned long>(0, m.length - 1);
        uint8_t v = in.ConsumeIntegral<uint8_t>();
        static_cast<unsigned char*>(blk.GetBuffer())[off] = v;
        m.bytes[off] = v;
        keepsStorage = true;
        break;
      }
    }
    if (keepsStorage) FUZZ_CHECK(blk.GetBuffer() == before);
    Verify(blk, m);  // the others were only read
  });
  pool.VerifyAll(Verify);
  return 0;
}
