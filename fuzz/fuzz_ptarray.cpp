// Stateful fuzzing of CWPtArray: random operations on a small pool of arrays
// are replayed on a plain model; after every step the count, capacity, every
// result and every storage entry whose value the header promises are compared.
#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

#include "cwbase/core/ptarray.h"
#include "fuzz_util.h"

namespace {

using Entry = std::optional<uintptr_t>;  // nullopt: value left open

struct Model {
  int count = 0;
  std::vector<Entry> slots = std::vector<Entry>(5, uintptr_t{0});  // size == capacity
  int Capacity() const { return static_cast<int>(slots.size()); }
};

void* P(uintptr_t v) {
  return reinterpret_cast<void*>(v);
}

// Exact re-size keeping the first entries; the count is cut to fit.
void ModelResize(Model& m, int capacity) {
  m.slots.resize(static_cast<size_t>(capacity), std::nullopt);
  if (m.count > capacity) m.count = capacity;
}

bool ModelGrow(Model& m) {
  int c = m.Capacity();
  if (c < 1 || c > (INT_MAX - 5) / 2) return false;
  ModelResize(m, 2 * c + 5);
  return true;
}

void ModelSetAt(Model& m, int i, uintptr_t p) {
  if (i < 0) return;
  if (i >= m.Capacity() - 1) {
    if (i > INT_MAX - 7) return;
    ModelResize(m, i + 7);
  }
  for (int j = m.count; j < i; ++j) m.slots[static_cast<size_t>(j)] = uintptr_t{0};
  if (i >= m.count) m.count = i + 1;
  m.slots[static_cast<size_t>(i)] = p;
}

void Verify(CWPtArray& arr, const Model& m) {
  FUZZ_CHECK(arr.GetSize() == m.count);
  FUZZ_CHECK(arr.GetCapacity() == m.Capacity());
  FUZZ_CHECK(m.count <= m.Capacity());
  void** mem = arr.GetMemPtr();
  FUZZ_CHECK((mem == nullptr) == (m.Capacity() == 0));
  for (int i = 0; i < m.Capacity(); ++i) {
    const Entry& e = m.slots[static_cast<size_t>(i)];
    if (e) FUZZ_CHECK(mem && mem[i] == P(*e));
  }
  FUZZ_CHECK(arr.GetAt(-1) == nullptr);
  FUZZ_CHECK(arr.GetAt(m.count) == nullptr);
  for (int i = 0; i < m.count; ++i) FUZZ_CHECK(mem && arr.GetAt(i) == mem[i]);
}

int ConsumeIndex(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return in.ConsumeIntegralInRange<int>(INT_MIN, -1);
    case 1:
      return INT_MAX - in.ConsumeIntegralInRange<int>(0, 6);  // refused: i + 7 overflows
    default:
      return in.ConsumeIntegralInRange<int>(0, 200);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ModelPool<CWPtArray, Model, 2> pool;
  pool.VerifyAll(Verify);

  ForEachStep(in, 128, 11, pool.kSize, [&](int op, int a) {
    CWPtArray& arr = pool.objects[a];
    Model& m = pool.models[a];
    uintptr_t p = in.ConsumeIntegralInRange<uintptr_t>(0, 6);  // few values: duplicates, null

    switch (op) {
      case 0:
      case 1: {  // Add
        int r = arr.Add(P(p));
        bool ok = m.count < m.Capacity() || ModelGrow(m);
        FUZZ_CHECK(r == (ok ? 1 : 0));
        if (ok) m.slots[static_cast<size_t>(m.count++)] = p;
        break;
      }
      case 2: {  // RemoveAt: later entries move down; the freed slot is left open
        int i = ConsumeIndex(in);
        int r = arr.RemoveAt(i);
        bool ok = i >= 0 && i < m.count;
        FUZZ_CHECK(r == (ok ? 1 : 0));
        if (ok) {
          m.slots.erase(m.slots.begin() + i);
          m.slots.insert(m.slots.begin() + (m.count - 1), std::nullopt);
          --m.count;
        }
        break;
      }
      case 3: {  // SetAt
        int i = ConsumeIndex(in);
        FUZZ_CHECK(arr.SetAt(i, P(p)) == 0);
        ModelSetAt(m, i, p);
        break;
      }
      case 4: {  // InsertAt
        int i = ConsumeIndex(in);
        FUZZ_CHECK(arr.InsertAt(i, P(p)) == 0);
        if (i < 0) break;
        if (m.count >= m.Capacity() && !ModelGrow(m)) break;
        if (i < m.count) {
          for (int j = m.count; j > i; --j)
            m.slots[static_cast<size_t>(j)] = m.slots[static_cast<size_t>(j - 1)];
          m.slots[static_cast<size_t>(i)] = p;
          ++m.count;
        } else {
          ModelSetAt(m, i, p);
        }
        break;
      }
      case 5: {  // SetGrowSize
        int n = in.ConsumeBool()
                    ? in.ConsumeIntegralInRange<int>(-3, 120)
                    : INT_MAX - in.ConsumeIntegralInRange<int>(0, 4);  // refused: n + 5 overflows
        int r = arr.SetGrowSize(n);
        bool ok = n >= 1 && n <= INT_MAX - 5;
        FUZZ_CHECK(r == (ok ? 1 : 0));
        if (ok) ModelResize(m, n + 5);
        break;
      }
      case 6: {  // Find
        int expected = -1;
        for (int i = 0; i < m.count; ++i)
          if (*m.slots[static_cast<size_t>(i)] == p) {
            expected = i;
            break;
          }
        FUZZ_CHECK(arr.Find(P(p)) == expected);
        break;
      }
      case 7:  // RemoveAll nulls the whole storage
        arr.RemoveAll();
        if (m.Capacity() >= 1) {
          for (Entry& e : m.slots) e = uintptr_t{0};
          m.count = 0;
        }
        break;
      case 8: {  // assignment, self included: the source's capacity and entries
        int b = in.ConsumeIntegralInRange<int>(0, pool.kSize - 1);
        CWPtArray& result = (arr = pool.objects[b]);
        FUZZ_CHECK(&result == &arr);
        if (a != b) {
          Model src = pool.models[b];
          m.count = src.count;
          m.slots.assign(src.slots.size(), uintptr_t{0});
          for (int i = 0; i < src.count; ++i)
            m.slots[static_cast<size_t>(i)] = src.slots[static_cast<size_t>(i)];
          if (m.Capacity()) FUZZ_CHECK(arr.GetMemPtr() != pool.objects[b].GetMemPtr());
        }
        break;
      }
      case 9: {  // copy construction
        CWPtArray copy(arr);
        Model cm;
        cm.count = m.count;
        cm.slots.assign(m.slots.size(), uintptr_t{0});
        for (int i = 0; i < m.count; ++i)
          cm.slots[static_cast<size_t>(i)] = m.slots[static_cast<size_t>(i)];
        Verify(copy, cm);
        break;
      }
      case 10: {  // the critical section is recursive and separate per array
        CWCriticalSection& cs = arr.GetCriticalSection();
        int depth = in.ConsumeIntegralInRange<int>(1, 4);
        for (int i = 0; i < depth; ++i) cs.Lock();
        for (int i = 0; i < depth; ++i) cs.Unlock();
        break;
      }
      default: {  // writes through GetMemPtr
        if (m.count == 0) break;
        int i = in.ConsumeIntegralInRange<int>(0, m.count - 1);
        arr.GetMemPtr()[i] = P(p);
        m.slots[static_cast<size_t>(i)] = p;
        break;
      }
    }
    pool.VerifyAll(Verify);
  });
  return 0;
}
