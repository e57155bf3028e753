// CWBlock::AddData against std::string::append: a run of small appends as
// the XML writer makes them (pieces of 4 to 40 bytes), into a new block or
// string per iteration, as a writer's caller would. AddData grows to
// length + size + 8192, so its copying grows with the square of the total;
// the two totals show how that scales.
#include <benchmark/benchmark.h>

#include <string>

#include "cwbase/core/block.h"

namespace {

const unsigned long kPieces[] = {4, 24, 4, 16, 4, 40, 12, 8, 4, 28, 12};
const size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];
unsigned char g_source[64] =
    "<record id=\"1\" name=\"value\"/>\r\n\t\t<record id=\"2\" qty=\"3\"/>";

template <typename Append>
void Run(benchmark::State& state, unsigned long total, Append append) {
  append(total);  // warm-up
  for (auto _ : state) append(total);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(total));
}

void CwBlock(benchmark::State& state, unsigned long total) {
  Run(state, total, [](unsigned long bytes) {
    CWBlock block;
    for (unsigned long done = 0, i = 0; done < bytes; done += kPieces[i], i = (i + 1) % kPieceCount)
      block.AddData(g_source, kPieces[i]);
    benchmark::DoNotOptimize(block.GetBuffer());
  });
}

void StdString(benchmark::State& state, unsigned long total) {
  Run(state, total, [](unsigned long bytes) {
    std::string s;
    for (unsigned long done = 0, i = 0; done < bytes; done += kPieces[i], i = (i + 1) % kPieceCount)
      s.append(reinterpret_cast<const char*>(g_source), kPieces[i]);
    benchmark::DoNotOptimize(s.data());
  });
}

}  // namespace

void RegisterBlockBenchmarks() {
  for (unsigned long mib : {1, 8}) {
    std::string name = "block-append-" + std::to_string(mib) + "mib/";
    benchmark::RegisterBenchmark((name + "cwbase").c_str(), CwBlock, mib << 20)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "std-string").c_str(), StdString, mib << 20)
        ->Unit(benchmark::kMillisecond);
  }
}
