// HTTP response parsing: CWHttpResponceBase::Parse, one new object per
// response as the class is meant to be used; CWHttpResponseReader, one
// reader reset for each response as a client on a keep-alive connection uses
// it; and http-parser driven the way a user drives it: callbacks that collect
// the status, header name/value pointers and the body. Each response is
// already in memory (a CWBlock for the exact parser, a string otherwise) and
// is fed whole or in 1,460-byte pieces (one TCP segment's payload). The
// `http-chunked` group reads the same responses with their bodies sent
// chunked: the reader and http-parser de-chunk them, the exact parser does
// not. The throughput counts response bytes.
#include <benchmark/benchmark.h>

#include <http_parser.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "corpus.h"
#include "cwbase/core/block.h"
#include "cwbase/http/httpreader.h"
#include "cwbase/http/httpresponse.h"

namespace {

constexpr size_t kSegment = 1460;

// The corpus responses with each body sent in chunks of up to 512 bytes
// (Content-Length replaced by Transfer-Encoding: chunked).
const std::vector<std::string>& ChunkedResponses() {
  static const std::vector<std::string> out = [] {
    std::vector<std::string> list;
    for (const std::string& r : HttpResponses()) {
      const size_t end = r.find("\r\n\r\n");
      const size_t field = r.find("Content-Length: ");
      if (field == std::string::npos || field > end) {
        list.push_back(r);
        continue;
      }
      const size_t fieldEnd = r.find("\r\n", field);
      std::string chunked = r.substr(0, field) + "Transfer-Encoding: chunked" +
                            r.substr(fieldEnd, end + 4 - fieldEnd);
      const std::string body = r.substr(end + 4);
      for (size_t at = 0; at < body.size(); at += 512) {
        const std::string piece = body.substr(at, 512);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        chunked += size + piece + "\r\n";
      }
      list.push_back(chunked + "0\r\n\r\n");
    }
    // Copied once more in order, so that the responses lie one after the
    // other in memory as the plain corpus does, not where the building left
    // them.
    std::vector<std::string> packed;
    packed.reserve(list.size());
    for (const std::string& r : list) packed.push_back(r);
    return packed;
  }();
  return out;
}

int64_t TotalBytes(const std::vector<std::string>& responses) {
  int64_t n = 0;
  for (const std::string& r : responses) n += int64_t(r.size());
  return n;
}

// Reads one response with `reader` in pieces of `piece` bytes (0: whole);
// returns its status, or 0 when it was not read whole.
int ReadOne(CWHttpResponseReader& reader, const std::string& r, size_t piece) {
  reader.Reset();
  const size_t step = piece ? piece : r.size();
  int result = 1;
  for (size_t at = 0; result == 1 && at < r.size(); at += step) {
    long used = 0;
    const size_t n = std::min(step, r.size() - at);
    result = reader.Feed(r.data() + at, long(n), &used);
  }
  if (result == 1) result = reader.Finish();
  return result == 0 ? reader.GetStatus() : 0;
}

void Reader(benchmark::State& state, const std::vector<std::string>& responses, size_t piece) {
  CWHttpResponseReader reader;
  long headers = 0;
  for (const std::string& r : responses) {
    if (!ReadOne(reader, r, piece)) return state.SkipWithError("a response was rejected");
    headers += reader.GetHeaderCount();
  }
  for (auto _ : state) {
    for (const std::string& r : responses) {
      benchmark::DoNotOptimize(ReadOne(reader, r, piece));
      benchmark::DoNotOptimize(reader.GetBody());
    }
  }
  state.counters["headers"] = double(headers);
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalBytes(responses));
}

void Exact(benchmark::State& state, const std::vector<std::string>& responses) {
  std::vector<CWBlock> blocks;
  for (const std::string& r : responses) blocks.emplace_back(const_cast<char*>(r.data()), r.size());
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
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalBytes(responses));
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

// Parses one response in pieces of `piece` bytes (0: whole); returns its
// status code, or 0 when it was rejected.
int ParseOne(const std::string& r, const http_parser_settings& settings, Collected& c,
             size_t piece = 0) {
  http_parser parser;
  http_parser_init(&parser, HTTP_RESPONSE);
  c.headers.clear();
  c.body = nullptr;
  c.bodyLength = 0;
  c.complete = false;
  parser.data = &c;
  const size_t step = piece ? piece : r.size();
  for (size_t at = 0; at < r.size(); at += step) {
    const size_t n = std::min(step, r.size() - at);
    size_t used = http_parser_execute(&parser, &settings, r.data() + at, n);
    if (used != n || HTTP_PARSER_ERRNO(&parser) != HPE_OK) return 0;
  }
  return int(parser.status_code);
}

void HttpParser(benchmark::State& state, const std::vector<std::string>& responses, size_t piece) {
  const http_parser_settings settings = Settings();
  Collected c;
  long headers = 0;
  for (const std::string& r : responses) {
    if (!ParseOne(r, settings, c, piece) || !c.complete)
      return state.SkipWithError("a response was rejected");
    headers += long(c.headers.size());
  }
  for (auto _ : state) {
    for (const std::string& r : responses)
      benchmark::DoNotOptimize(ParseOne(r, settings, c, piece));
  }
  state.counters["headers"] = double(headers);
  state.SetBytesProcessed(int64_t(state.iterations()) * TotalBytes(responses));
}

}  // namespace

void RegisterHttpBenchmarks() {
  benchmark::RegisterBenchmark("http-parse/cwbase", [](benchmark::State& s) {
    Exact(s, HttpResponses());
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-parse/http-parser", [](benchmark::State& s) {
    HttpParser(s, HttpResponses(), 0);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-parse/cwbase-reader", [](benchmark::State& s) {
    Reader(s, HttpResponses(), 0);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-parse/http-parser-1460", [](benchmark::State& s) {
    HttpParser(s, HttpResponses(), kSegment);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-parse/cwbase-reader-1460", [](benchmark::State& s) {
    Reader(s, HttpResponses(), kSegment);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-chunked/cwbase", [](benchmark::State& s) {
    Exact(s, ChunkedResponses());
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-chunked/http-parser", [](benchmark::State& s) {
    HttpParser(s, ChunkedResponses(), 0);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-chunked/cwbase-reader", [](benchmark::State& s) {
    Reader(s, ChunkedResponses(), 0);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("http-chunked/cwbase-reader-1460", [](benchmark::State& s) {
    Reader(s, ChunkedResponses(), kSegment);
  })->Unit(benchmark::kMillisecond);
}
