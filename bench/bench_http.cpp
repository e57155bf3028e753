// HTTP response parsing: CWHttpResponceBase::Parse, one new object per
// response as the class is meant to be used, against http-parser driven the
// way a user drives it: callbacks that collect the status, header name/value
// pointers and the body. Each response is already in memory (a CWBlock for
// cwbase, a string for http-parser); the throughput counts response bytes.
#include <benchmark/benchmark.h>

#include <http_parser.h>

#include <string>
#include <vector>

#include "corpus.h"
#include "cwbase/core/block.h"
#include "cwbase/http/httpresponse.h"

namespace {

int64_t TotalBytes() {
  int64_t n = 0;
  for (const std::string& r : HttpResponses()) n += int64_t(r.size());
  return n;
}

void Cwbase(benchmark::State& state) {
  std::vector<CWBlock> blocks;
  for (const std::string& r : HttpResponses())
    blocks.emplace_back(const_cast<char*>(r.data()), r.size());
  long headers = 0;
  for (CWBlock& b : blocks) {
    CWHttpResponceBase response;
    if (response.Parse(b) != 0) return state.SkipWithError("a response was rejected");
    headers += response.GetHeaderCount();
  }
  for (auto _ : state) {
    for (CWBlock& b : blocks) {
      CWHttpResponceBase response;
      benchmark::DoNotOptimize(response.Parse(b));
      benchmark::DoNotOptimize(response.GetHttpResult());
    }
  }
  state.counters["headers"] = double(headers);
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalBytes());
}

struct Header {
  const char* name;
  size_t nameLength;
  const char* value;
  size_t valueLength;
};

struct Collected {
  const char* reason = nullptr;
  size_t reasonLength = 0;
  std::vector<Header> headers;  // reused: cleared per response
  const char* body = nullptr;
  size_t bodyLength = 0;
  bool complete = false;

  static Collected& Of(http_parser* p) { return *static_cast<Collected*>(p->data); }
};

http_parser_settings Settings() {
  http_parser_settings s;
  http_parser_settings_init(&s);
  s.on_status = [](http_parser* p, const char* at, size_t n) {
    Collected::Of(p).reason = at;
    Collected::Of(p).reasonLength = n;
    return 0;
  };
  s.on_header_field = [](http_parser* p, const char* at, size_t n) {
    Collected::Of(p).headers.push_back({at, n, nullptr, 0});
    return 0;
  };
  s.on_header_value = [](http_parser* p, const char* at, size_t n) {
    Header& h = Collected::Of(p).headers.back();
    h.value = at;
    h.valueLength = n;
    return 0;
  };
  s.on_body = [](http_parser* p, const char* at, size_t n) {
    Collected& c = Collected::Of(p);
    if (!c.body) c.body = at;
    c.bodyLength += n;
    return 0;
  };
  s.on_message_complete = [](http_parser* p) {
    Collected::Of(p).complete = true;
    return 0;
  };
  return s;
}

// Parses one response; returns its status code, or 0 when it was rejected.
int ParseOne(const std::string& r, const http_parser_settings& settings, Collected& c) {
  http_parser parser;
  http_parser_init(&parser, HTTP_RESPONSE);
  c.headers.clear();
  c.body = nullptr;
  c.bodyLength = 0;
  c.complete = false;
  parser.data = &c;
  size_t used = http_parser_execute(&parser, &settings, r.data(), r.size());
  if (used != r.size() || HTTP_PARSER_ERRNO(&parser) != HPE_OK) return 0;
  return int(parser.status_code);
}

void HttpParser(benchmark::State& state) {
  const http_parser_settings settings = Settings();
  Collected c;
  long headers = 0;
  for (const std::string& r : HttpResponses()) {
    if (!ParseOne(r, settings, c) || !c.complete)
      return state.SkipWithError("a response was rejected");
    headers += long(c.headers.size());
  }
  for (auto _ : state) {
    for (const std::string& r : HttpResponses()) benchmark::DoNotOptimize(ParseOne(r, settings, c));
  }
  state.counters["headers"] = double(headers);
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalBytes());
}

}  // namespace

void RegisterHttpBenchmarks() {
  benchmark::RegisterBenchmark("http-parse/cwbase", Cwbase)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-parse/http-parser", HttpParser)->Unit(benchmark::kMillisecond);
}
