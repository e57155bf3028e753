// XML tree building: the tree of xml-records.xml built element by element
// with cwbase's setters (new CWXMLNode, SetName, AddChildNode,
// SetPropertyValue, SetValue) and destroyed, against pugixml building the same
// tree (append_child, append_attribute, text().set) in a document that is
// destroyed. Names, attributes and texts are taken from the corpus once,
// before timing, in the form each library takes (wide or 8-bit), so only the
// building and the release are timed. Throughput counts the bytes of
// xml-records.xml, like its load.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

#include "corpus.h"
#include "cwbase/xml/xmlnode.h"
#include "xml_count.h"

namespace {

const char* const kCorpus = "xml-records.xml";

// One element of the tree to build, its strings in both forms.
struct Element {
  std::string name;
  std::wstring wideName;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::vector<std::pair<std::wstring, std::wstring>> wideAttrs;
  bool hasText = false;
  std::string text;
  std::wstring wideText;
  std::vector<Element> children;
};

void Describe(pugi::xml_node node, Element& e) {
  e.name = node.name();
  e.wideName = DecodeUtf8(e.name);
  for (pugi::xml_attribute a : node.attributes()) {
    e.attrs.emplace_back(a.name(), a.value());
    e.wideAttrs.emplace_back(DecodeUtf8(a.name()), DecodeUtf8(a.value()));
  }
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata && !e.hasText) {
      e.hasText = true;
      e.text = child.value();
      e.wideText = DecodeUtf8(e.text);
    } else if (child.type() == pugi::node_element) {
      e.children.emplace_back();
      Describe(child, e.children.back());
    }
  }
}

const Element& Shape() {
  static const Element root = [] {
    const std::string& text = CorpusFile(kCorpus);
    pugi::xml_document doc;
    Element e;
    if (doc.load_buffer(text.data(), text.size())) Describe(doc.document_element(), e);
    return e;
  }();
  return root;
}

void Fill(CWXMLNode* node, const Element& e) {
  for (const auto& a : e.wideAttrs) node->SetPropertyValue(a.first.c_str(), a.second.c_str());
  if (e.hasText) node->SetValue(e.wideText.c_str());
  for (const Element& c : e.children)
    if (CWXMLNode* child = node->AddChildNode(c.wideName.c_str())) Fill(child, c);
}

void Fill(pugi::xml_node node, const Element& e) {
  for (const auto& a : e.attrs) node.append_attribute(a.first.c_str()).set_value(a.second.c_str());
  if (e.hasText) node.text().set(e.text.c_str());
  for (const Element& c : e.children) Fill(node.append_child(c.name.c_str()), c);
}

using xml_bench::Count;

// Builds the tree, counts its elements when asked, and destroys it.
long BuildCw(const Element& shape, bool count) {
  auto* root = new CWXMLNode;
  root->SetName(shape.wideName.c_str());
  Fill(root, shape);
  long elements = count ? Count(root) : 0;
  benchmark::DoNotOptimize(root);
  delete root;
  return elements;
}

long BuildPugi(const Element& shape, bool count) {
  pugi::xml_document doc;
  Fill(doc.append_child(shape.name.c_str()), shape);
  long elements = count ? Count(doc) : 0;
  benchmark::DoNotOptimize(doc.first_child().internal_object());
  return elements;
}

void RunBuild(benchmark::State& state, long (*build)(const Element&, bool)) {
  const Element& shape = Shape();
  if (shape.name.empty()) return state.SkipWithError("corpus not read");
  long elements = build(shape, true);  // warm-up and check
  for (auto _ : state) build(shape, false);
  state.counters["elements"] = double(elements);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(CorpusFile(kCorpus).size()));
}

}  // namespace

void RegisterXmlBuildBenchmarks() {
  benchmark::RegisterBenchmark("xml-build-records/cwbase", RunBuild, BuildCw)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("xml-build-records/pugixml", RunBuild, BuildPugi)
      ->Unit(benchmark::kMillisecond);
}
