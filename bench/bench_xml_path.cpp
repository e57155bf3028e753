// Path queries on the tree of xml-records.xml: cwbase's CWXMLPath against
// pugixml's XPath, each path compiled once before timing and every match
// collected in each iteration. Both documents are loaded before timing (the
// standard reader for cwbase); the warm-up run checks that both find the
// same number of matches. Throughput counts the bytes of xml-records.xml.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <string>

#include "corpus.h"
#include "cwbase/xml/xmlpath.h"

namespace {

const char* const kCorpus = "xml-records.xml";

// Each query in both forms: every record at any depth with an attribute
// test, a position per parent with an attribute step, the parents of a
// descendant search (each reached many times), and a path of child steps.
struct Query {
  const char* name;
  const wchar_t* wide;
  const char* narrow;
};
const Query kQueries[] = {
    {"descendants", L"//record[@qty='7']", "//record[@qty='7']"},
    {"position", L"/catalog/group/record[2]/@id", "/catalog/group/record[2]/@id"},
    {"parents", L"//record[@owner]/..", "//record[@owner]/.."},
    {"children", L"/catalog/group/record", "/catalog/group/record"},
};

CWXMLDocument& CwDocument() {
  static CWXMLDocument* doc = [] {
    auto* d = new CWXMLDocument();
    const std::string& text = CorpusFile(kCorpus);
    d->LoadXML(reinterpret_cast<const unsigned char*>(text.data()), static_cast<long>(text.size()));
    return d;
  }();
  return *doc;
}

pugi::xml_document& PugiDocument() {
  static pugi::xml_document* doc = [] {
    auto* d = new pugi::xml_document();
    const std::string& text = CorpusFile(kCorpus);
    d->load_buffer(text.data(), text.size());
    return d;
  }();
  return *doc;
}

size_t PugiCount(const Query& q) {
  return PugiDocument().select_nodes(q.narrow).size();
}

void RunCw(benchmark::State& state, const Query* q) {
  CWXMLPath path;
  if (path.Compile(q->wide) != 0) return state.SkipWithError(path.GetLastError().message);
  CWDynArray<SWXMLMatch> matches;
  const int n = path.SelectAll(&CwDocument(), matches);
  if (n <= 0 || static_cast<size_t>(n) != PugiCount(*q))
    return state.SkipWithError("cwbase and pugixml disagree on the matches");
  for (auto _ : state) benchmark::DoNotOptimize(path.SelectAll(&CwDocument(), matches));
  state.counters["matches"] = n;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(CorpusFile(kCorpus).size()));
}

void RunPugi(benchmark::State& state, const Query* q) {
  pugi::xpath_query query(q->narrow);
  pugi::xml_document& doc = PugiDocument();
  if (query.evaluate_node_set(doc).empty()) return state.SkipWithError("no match");
  for (auto _ : state) benchmark::DoNotOptimize(query.evaluate_node_set(doc).size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(CorpusFile(kCorpus).size()));
}

}  // namespace

void RegisterXmlPathBenchmarks() {
  for (const Query& q : kQueries) {
    const std::string group = std::string("xml-path-") + q.name + "/";
    benchmark::RegisterBenchmark((group + "cwbase").c_str(), RunCw, &q)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((group + "pugixml").c_str(), RunPugi, &q)
        ->Unit(benchmark::kMillisecond);
  }
}
