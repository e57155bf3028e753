// Helpers shared by the libFuzzer targets: a check that aborts (so libFuzzer
// records the input as a crash) and readers that turn fuzz bytes into the
// strings the library takes.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

// The step loop of the stateful fuzzers: while input remains, at most
// `maxSteps` times, reads an operation number in [0, lastOp] and the index of
// the pool object it works on, and calls step(op, index).
template <typename Step>
void ForEachStep(FuzzedDataProvider& in, int maxSteps, int lastOp, int pool, Step step) {
  for (int i = 0; i < maxSteps && in.remaining_bytes() > 0; ++i) {
    const int op = in.ConsumeIntegralInRange<int>(0, lastOp);
    const int index = in.ConsumeIntegralInRange<int>(0, pool - 1);
    step(op, index);
  }
}

// The objects a stateful fuzzer works on, each beside the model of what it
// must hold: objects[i] goes with models[i].
template <typename Object, typename Model, int N>
struct ModelPool {
  static constexpr int kSize = N;
  Object objects[N];
  Model models[N];

  // Checks every object against its model with verify(object, model).
  template <typename Verify>
  void VerifyAll(Verify verify) {
    for (int i = 0; i < N; ++i) verify(objects[i], models[i]);
  }
};

// A wide string of at most `maxUnits` units, without zero units. Each unit is
// drawn from a small alphabet of interesting units most of the time, so that
// separators, markup and multi-byte characters turn up often, and from the
// whole 32-bit range otherwise.
inline std::wstring ConsumeWide(FuzzedDataProvider& in, size_t maxUnits,
                                const wchar_t* alphabet = nullptr) {
  std::wstring out;
  size_t n = in.ConsumeIntegralInRange<size_t>(0, maxUnits);
  size_t alphabetLen = alphabet ? std::wcslen(alphabet) : 0;
  for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
    unsigned char kind = in.ConsumeIntegral<unsigned char>();
    wchar_t c;
    if (alphabetLen && kind < 160) {
      c = alphabet[kind % alphabetLen];
    } else if (kind < 232) {
      c = static_cast<wchar_t>(in.ConsumeIntegralInRange<int>(1, 0x7F));
    } else if (kind < 250) {
      c = static_cast<wchar_t>(in.ConsumeIntegralInRange<int>(0x80, 0x10FFFF));
    } else {
      c = static_cast<wchar_t>(in.ConsumeIntegral<unsigned>());
    }
    if (c == 0) c = L'0';
    out.push_back(c);
  }
  return out;
}
