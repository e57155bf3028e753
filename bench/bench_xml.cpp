// XML load and save: cwbase's reader and writer against pugixml, RapidXML,
// TinyXML-2 and libxml2, each with its default options, on every corpus
// (records, text, deep, text-intl, attrs). The 8-bit forms read and write
// UTF-8: bench_main runs everything in the C.UTF-8 locale. A load parses the
// text from memory into a DOM (the library's own copy of the text where it
// makes one; RapidXML, which parses in place, copies the text first); a save
// writes the whole document into memory. Every case counts the bytes of the
// 8-bit document, so throughputs compare documents per second whatever form
// (wide or 8-bit) an implementation reads. Documents, parsers and output
// buffers are reused across iterations (but for the cwbase *-fresh saves), so
// each load also releases the tree of the previous one, for every library.
// Building a tree with the setters is measured in bench_xml_build.cpp.
#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <tinyxml2.h>
#include <pugixml.hpp>
#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_print.hpp>

#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corpus.h"
#include "cwbase/core/block.h"
#include "cwbase/xml/xmlnode.h"
#include "xml_count.h"

namespace {

const std::string& Text(const std::string& kind) {
  return CorpusFile("xml-" + kind + ".xml");
}

// The wide form of a corpus file: one wchar_t per character.
const std::wstring& WideText(const std::string& kind) {
  static std::map<std::string, std::wstring> cache;
  auto it = cache.find(kind);
  return it != cache.end() ? it->second : cache[kind] = DecodeUtf8(Text(kind));
}

void Throughput(benchmark::State& state, const std::string& kind) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(kind).size()));
}

// Element counts, reported as a counter so that ratios.py can check that
// every implementation read the whole document.
using xml_bench::Count;
long Count(rapidxml::xml_node<>* n) {
  long c = n->type() == rapidxml::node_element;
  for (auto* child = n->first_node(); child; child = child->next_sibling()) c += Count(child);
  return c;
}
long Count(const tinyxml2::XMLElement* n) {
  long c = 1;
  for (auto* child = n->FirstChildElement(); child; child = child->NextSiblingElement())
    c += Count(child);
  return c;
}
long Count(xmlNode* n) {
  long c = 1;
  for (xmlNode* child = xmlFirstElementChild(n); child; child = xmlNextElementSibling(child))
    c += Count(child);
  return c;
}

// ---- Loaders: each keeps its document between calls and reports success.

struct CwAscii {
  CWXMLDocument doc;
  bool Load(const std::string& kind) {
    // The loader copies its input; the cast only meets its parameter type.
    const std::string& t = Text(kind);
    return doc.LoadFromStreamAscii(reinterpret_cast<unsigned char*>(const_cast<char*>(t.data())),
                                   int(t.size())) == 0;
  }
  long Elements() { return Count(&doc); }
};

struct CwWide {
  CWXMLDocument doc;
  bool Load(const std::string& kind) {
    const std::wstring& w = WideText(kind);
    return doc.LoadFromStream(reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(w.data())),
                              int(w.size() * sizeof(wchar_t))) == 0;
  }
  long Elements() { return Count(&doc); }
};

struct Pugi {
  pugi::xml_document doc;
  bool Load(const std::string& kind) {
    const std::string& t = Text(kind);
    return bool(doc.load_buffer(t.data(), t.size()));
  }
  long Elements() { return Count(doc); }
};

struct Rapid {
  std::vector<char> buffer;
  rapidxml::xml_document<> doc;
  bool Load(const std::string& kind) {
    const std::string& t = Text(kind);
    buffer.resize(t.size() + 1);
    std::memcpy(buffer.data(), t.data(), t.size());
    buffer[t.size()] = 0;
    doc.clear();
    try {
      doc.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error&) {
      return false;
    }
    return true;
  }
  long Elements() { return Count(&doc); }
};

struct Tiny {
  tinyxml2::XMLDocument doc;
  bool Load(const std::string& kind) {
    const std::string& t = Text(kind);
    return doc.Parse(t.data(), t.size()) == tinyxml2::XML_SUCCESS;
  }
  long Elements() { return Count(doc.RootElement()); }
};

struct LibXml2 {
  xmlDocPtr doc = nullptr;
  ~LibXml2() { xmlFreeDoc(doc); }
  bool Load(const std::string& kind) {
    const std::string& t = Text(kind);
    xmlFreeDoc(doc);
    doc = xmlReadMemory(t.data(), int(t.size()), nullptr, nullptr, 0);
    return doc != nullptr;
  }
  long Elements() { return Count(xmlDocGetRootElement(doc)); }
};

template <typename Impl>
void RunLoad(benchmark::State& state, const std::string& kind) {
  auto impl = std::make_unique<Impl>();
  if (!impl->Load(kind)) return state.SkipWithError("load failed");
  for (auto _ : state) benchmark::DoNotOptimize(impl->Load(kind));
  state.counters["elements"] = double(impl->Elements());
  Throughput(state, kind);
}

// ---- Savers: the document is loaded once per process and kept.

template <typename Impl>
Impl& Loaded(const std::string& kind) {
  static std::map<std::string, std::unique_ptr<Impl>> docs;
  std::unique_ptr<Impl>& d = docs[kind];
  if (!d) {
    d = std::make_unique<Impl>();
    d->Load(kind);
  }
  return *d;
}

// Length of the document's 8-bit output: the writer reserves one byte per
// character, so the wide output is four times as long.
unsigned long OutputChars(const std::string& kind) {
  CWBlock probe;
  Loaded<CwAscii>(kind).doc.SaveToXMLStreamAscii(probe, 0);
  return probe.GetSize();
}

// With fresh=false the output goes into one block whose capacity is exactly
// the output's size, so a save neither grows it nor clears spare room; the
// SetSize(0) that empties it between saves (and zeroes it) is not timed. With
// fresh=true each save takes a new block, as a program writing each document
// once would; the wide form then grows the block 8 KiB at a time.
void SaveCw(benchmark::State& state, const std::string& kind, bool ascii, bool fresh) {
  CWXMLDocument& doc = ascii ? Loaded<CwAscii>(kind).doc : Loaded<CwWide>(kind).doc;
  auto save = [&](CWBlock& out) {
    if (ascii)
      doc.SaveToXMLStreamAscii(out, 0);
    else
      doc.SaveToXMLStream(out, 0);
    benchmark::DoNotOptimize(out.GetBuffer());
    return out.GetSize();
  };
  CWBlock reused;
  reused.SetSize(OutputChars(kind) * (ascii ? 1 : sizeof(wchar_t)));
  reused.SetSize(0);
  unsigned long size = save(reused);  // warm-up
  for (auto _ : state) {
    if (fresh) {
      CWBlock out;
      size = save(out);
    } else {
      state.PauseTiming();
      reused.SetSize(0);
      state.ResumeTiming();
      size = save(reused);
    }
  }
  // Bare attribute values make the output shorter than the input, not half as long.
  if (size < Text(kind).size() / 2) state.SkipWithError("output too short");
  Throughput(state, kind);
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

void SavePugi(benchmark::State& state, const std::string& kind) {
  pugi::xml_document& doc = Loaded<Pugi>(kind).doc;
  StringWriter w;
  doc.save(w, "\t", pugi::format_default, pugi::encoding_utf8);  // warm-up
  for (auto _ : state) {
    w.out.clear();
    doc.save(w, "\t", pugi::format_default, pugi::encoding_utf8);
    benchmark::DoNotOptimize(w.out.data());
  }
  Throughput(state, kind);
}

void SaveRapid(benchmark::State& state, const std::string& kind) {
  rapidxml::xml_document<>& doc = Loaded<Rapid>(kind).doc;
  std::string out;
  rapidxml::print(std::back_inserter(out), doc, 0);  // warm-up
  for (auto _ : state) {
    out.clear();
    rapidxml::print(std::back_inserter(out), doc, 0);
    benchmark::DoNotOptimize(out.data());
  }
  Throughput(state, kind);
}

void SaveTiny(benchmark::State& state, const std::string& kind) {
  tinyxml2::XMLDocument& doc = Loaded<Tiny>(kind).doc;
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);  // warm-up
  for (auto _ : state) {
    printer.ClearBuffer();
    doc.Print(&printer);
    benchmark::DoNotOptimize(printer.CStr());
  }
  Throughput(state, kind);
}

void SaveLibXml2(benchmark::State& state, const std::string& kind) {
  xmlDocPtr doc = Loaded<LibXml2>(kind).doc;
  xmlBufferPtr buffer = xmlBufferCreate();
  auto save = [&] {
    xmlBufferEmpty(buffer);
    xmlSaveCtxtPtr ctxt = xmlSaveToBuffer(buffer, nullptr, XML_SAVE_FORMAT);
    xmlSaveDoc(ctxt, doc);
    xmlSaveClose(ctxt);
    benchmark::DoNotOptimize(xmlBufferContent(buffer));
  };
  save();  // warm-up
  for (auto _ : state) save();
  xmlBufferFree(buffer);
  Throughput(state, kind);
}

template <typename... Args>
benchmark::internal::Benchmark* Register(const std::string& name,
                                         void (*fn)(benchmark::State&, const std::string&, Args...),
                                         const std::string& kind, Args... args) {
  return benchmark::RegisterBenchmark(name.c_str(), fn, kind, args...)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

void RegisterXmlBuildBenchmarks();

void RegisterXmlBenchmarks() {
  xmlInitParser();
  const char* const kinds[] = {"records", "text", "deep", "text-intl", "attrs"};
  for (std::string kind : kinds) {
    std::string load = "xml-load-" + kind + "/";
    Register(load + "cwbase-ascii", RunLoad<CwAscii>, kind);
    Register(load + "cwbase-wide", RunLoad<CwWide>, kind);
    Register(load + "pugixml", RunLoad<Pugi>, kind);
    Register(load + "rapidxml", RunLoad<Rapid>, kind);
    Register(load + "tinyxml2", RunLoad<Tiny>, kind);
    Register(load + "libxml2", RunLoad<LibXml2>, kind);
  }
  for (std::string kind : kinds) {
    std::string save = "xml-save-" + kind + "/";
    Register(save + "cwbase-ascii", SaveCw, kind, true, false);
    // The other forms of the cwbase save only on the original three corpora,
    // which keeps bench/run short.
    if (kind == "records" || kind == "text" || kind == "deep") {
      Register(save + "cwbase-wide", SaveCw, kind, false, false);
      Register(save + "cwbase-ascii-fresh", SaveCw, kind, true, true);
      // Seconds per save: a new block grows by 8 KiB spare room at a time, so
      // the appends copy the text again and again. One run keeps bench/run short.
      Register(save + "cwbase-wide-fresh", SaveCw, kind, false, true)->Repetitions(1);
    }
    Register(save + "pugixml", SavePugi, kind);
    Register(save + "rapidxml", SaveRapid, kind);
    Register(save + "tinyxml2", SaveTiny, kind);
    Register(save + "libxml2", SaveLibXml2, kind);
  }
  RegisterXmlBuildBenchmarks();
}
