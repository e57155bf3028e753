// The standard XML reader and writer (LoadXML, SaveXML) on the corpora of the
// 8-bit loads, with pugixml's load beside the reader on the same text:
// xml-load-standard-<kind>/cwbase and /pugixml, xml-save-standard-<kind>/cwbase.
// ratios.py compares the reader with pugixml and with the exact 8-bit reader
// (xml-load-<kind>/cwbase-ascii), the writer with pugixml's save and the exact
// 8-bit save (xml-save-<kind>/...). As in bench_xml.cpp the document is
// reused, so each load also releases the previous tree, and every case counts
// the bytes of the 8-bit document.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>
#include <string>

#include "corpus.h"
#include "cwbase/xml/xmlnode.h"
#include "xml_count.h"

namespace {

const std::string& Text(const std::string& kind) {
  return CorpusFile("xml-" + kind + ".xml");
}

void LoadStandard(benchmark::State& state, const std::string& kind) {
  const std::string& text = Text(kind);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const long length = static_cast<long>(text.size());
  CWXMLDocument doc;
  if (doc.LoadXML(bytes, length) != 0) return state.SkipWithError(doc.GetLastError().message);
  for (auto _ : state) benchmark::DoNotOptimize(doc.LoadXML(bytes, length));
  state.counters["elements"] = double(xml_bench::Count(&doc));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void LoadPugi(benchmark::State& state, const std::string& kind) {
  const std::string& text = Text(kind);
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size())) return state.SkipWithError("load failed");
  for (auto _ : state) benchmark::DoNotOptimize(doc.load_buffer(text.data(), text.size()));
  state.counters["elements"] = double(xml_bench::Count(doc));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// The tree read by LoadXML is written into one block kept across saves; the
// SetSize(0) that empties it between saves is not timed, as with the exact
// writer's cases.
void SaveStandard(benchmark::State& state, const std::string& kind) {
  const std::string& text = Text(kind);
  CWXMLDocument doc;
  if (doc.LoadXML(reinterpret_cast<const unsigned char*>(text.data()), long(text.size())) != 0)
    return state.SkipWithError(doc.GetLastError().message);
  CWBlock out;
  if (doc.SaveXML(out) != 0) return state.SkipWithError("SaveXML failed");  // warm-up
  for (auto _ : state) {
    state.PauseTiming();
    out.SetSize(0);
    state.ResumeTiming();
    benchmark::DoNotOptimize(doc.SaveXML(out));
  }
  if (out.GetSize() < text.size() / 2) state.SkipWithError("output too short");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

}  // namespace

void RegisterXmlStandardBenchmarks() {
  // text-mixed (half the bytes non-ASCII) is loaded by this reader only.
  for (std::string kind : {"records", "text", "deep", "text-intl", "attrs", "text-mixed"}) {
    const std::string group = "xml-load-standard-" + kind + "/";
    benchmark::RegisterBenchmark((group + "cwbase").c_str(), LoadStandard, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((group + "pugixml").c_str(), LoadPugi, kind)
        ->Unit(benchmark::kMillisecond);
    if (kind == "text-mixed") continue;
    benchmark::RegisterBenchmark(("xml-save-standard-" + kind + "/cwbase").c_str(), SaveStandard,
                                 kind)
        ->Unit(benchmark::kMillisecond);
  }
}
