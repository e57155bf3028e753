// cwbase benchmark driver: cwbase's hot paths side by side with peer
// libraries, in one process. Usage:
//   cwbase_bench --corpus=DIR [Google Benchmark flags]
// Names are "<case>/<implementation>"; bench/ratios.py turns the JSON output
// into cwbase-to-peer throughput ratios.
#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "corpus.h"

void RegisterXmlBenchmarks();
void RegisterXmlStandardBenchmarks();
void RegisterHttpBenchmarks();
void RegisterUtf8Benchmarks();
void RegisterBlockBenchmarks();
void RegisterXmlPathBenchmarks();

int main(int argc, char** argv) {
  // Every conversion between wide and 8-bit text follows the process locale;
  // measure in the UTF-8 locale that programs normally run in.
  if (!std::setlocale(LC_ALL, "C.UTF-8")) {
    std::fprintf(stderr, "cwbase_bench: locale C.UTF-8 is not available\n");
    return 1;
  }
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--corpus=", 9) == 0)
      SetCorpusDir(argv[i] + 9);
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  RegisterXmlBenchmarks();
  RegisterXmlStandardBenchmarks();
  RegisterHttpBenchmarks();
  RegisterUtf8Benchmarks();
  RegisterBlockBenchmarks();
  RegisterXmlPathBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
