// The standard XML reader (LoadXML) on the corpora of the 8-bit loads, with
// pugixml's load beside it on the same text: xml-load-standard-<kind>/cwbase
// and /pugixml. ratios.py compares the standard reader with pugixml and with
// the exact 8-bit reader (xml-load-<kind>/cwbase-ascii). As in bench_xml.cpp
// the document is reused, so each load also releases the previous tree, and
// every case counts the bytes of the 8-bit document.
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

}  // namespace

void RegisterXmlStandardBenchmarks() {
  for (std::string kind : {"records", "text", "deep", "text-intl", "attrs"}) {
    const std::string group = "xml-load-standard-" + kind + "/";
    benchmark::RegisterBenchmark((group + "cwbase").c_str(), LoadStandard, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((group + "pugixml").c_str(), LoadPugi, kind)
        ->Unit(benchmark::kMillisecond);
  }
}
