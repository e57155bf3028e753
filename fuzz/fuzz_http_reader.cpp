// Fuzzing of CWHttpResponseReader: the input is a stream of responses, read
// response after response (Reset between them, Finish at the end) whole,
// byte by byte and in pieces cut where the input's first bytes say. Every
// reading must give the same responses, the same error code and offset. The
// body of each complete response must agree with its framing: none for 1xx,
// 204, 304 and HEAD, Content-Length bytes, no more bytes than the response
// took, and no keep-alive when the body ran until the close.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/http/httpreader.h"
#include "fuzz_util.h"
#include "testing/httpfeed.h"

namespace {

struct Snapshot {
  int result;
  long used;
  int status;
  std::string reason;
  std::vector<std::string> fields;  // name, value, name, value...
  std::string body;
  int framing;
  long length;
  bool keepAlive;
  int error;
  long offset;

  bool operator==(const Snapshot& o) const {
    return result == o.result && used == o.used && status == o.status && reason == o.reason &&
           fields == o.fields && body == o.body && framing == o.framing && length == o.length &&
           keepAlive == o.keepAlive && error == o.error && offset == o.offset;
  }
};

Snapshot Take(const CWHttpResponseReader& r, int result, long used) {
  Snapshot s{result,
             result == -1 ? -1 : used,
             r.GetStatus(),
             r.GetReason(),
             {},
             {},
             r.GetFraming(),
             r.GetContentLength(),
             r.IsKeepAlive(),
             r.GetLastError().code,
             r.GetLastError().offset};
  for (int i = 0; i < r.GetHeaderCount(); ++i) {
    s.fields.push_back(r.GetHeaderAt(i)->name);
    s.fields.push_back(r.GetHeaderAt(i)->value);
  }
  for (int i = 0; i < r.GetTrailerCount(); ++i) {
    s.fields.push_back(std::string("trailer ") + r.GetTrailerAt(i)->name);
    s.fields.push_back(r.GetTrailerAt(i)->value);
  }
  FUZZ_CHECK(r.GetBody()[r.GetBodyLength()] == '\0');
  s.body.assign(r.GetBody(), static_cast<size_t>(r.GetBodyLength()));
  return s;
}

// Reads `stream` with pieces ending at `cuts` (ascending); see the file comment.
std::vector<Snapshot> Read(const std::string& stream, const std::vector<size_t>& cuts, bool head,
                           const CWHttpLimits& limits) {
  CWHttpResponseReader reader;
  reader.SetLimits(limits);
  std::vector<Snapshot> out;
  size_t pos = 0;
  size_t cut = 0;
  while ((pos < stream.size() || out.empty()) && out.size() < 64) {
    reader.Reset(head && out.size() % 2 == 0);
    const size_t start = pos;
    int r = CWTestFeedPieces(reader, stream, cuts, &pos, &cut, [](int result, long used, size_t n) {
      if (result == -1) {
        FUZZ_CHECK(used == 0);
      } else {
        FUZZ_CHECK(used >= 0 && used <= static_cast<long>(n));
        FUZZ_CHECK(result == 0 || used == static_cast<long>(n));
      }
    });
    if (r == 1) r = reader.Finish();
    const Snapshot s = Take(reader, r, static_cast<long>(pos - start));
    out.push_back(s);
    if (r == -1) {
      FUZZ_CHECK(s.error != CWHTTP_ERROR_NONE && !s.keepAlive);
      FUZZ_CHECK(s.offset >= 0 && s.offset <= static_cast<long>(stream.size() - start));
      break;
    }
    // The body agrees with the framing.
    FUZZ_CHECK(s.error == CWHTTP_ERROR_NONE && reader.IsComplete());
    FUZZ_CHECK(static_cast<long>(s.body.size()) <= s.used);
    const bool noBody =
        (head && out.size() % 2 == 1) || s.status < 200 || s.status == 204 || s.status == 304;
    if (noBody) FUZZ_CHECK(s.framing == CWHTTP_FRAMING_NONE);
    if (s.framing == CWHTTP_FRAMING_NONE) FUZZ_CHECK(s.body.empty());
    if (s.framing == CWHTTP_FRAMING_LENGTH)
      FUZZ_CHECK(s.length > 0 && static_cast<long>(s.body.size()) == s.length);
    if (s.framing == CWHTTP_FRAMING_CLOSE) FUZZ_CHECK(!s.keepAlive && pos == stream.size());
    if (s.framing == CWHTTP_FRAMING_CHUNKED) FUZZ_CHECK(s.length == -1);
    if (s.status == 101) FUZZ_CHECK(!s.keepAlive);
    if (r != 0) break;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: bit 0 HEAD for every other response, bit 1 small limits.
  // Second byte: how often the random pieces are cut.
  const bool head = data[0] & 1;
  CWHttpLimits limits;
  if (data[0] & 2) {
    limits.headerBytes = 64 + (data[0] >> 2);
    limits.headerCount = 1 + (data[0] >> 5);
    limits.bodyBytes = 1 + (data[0] >> 3);
  }
  const unsigned mean = 1 + data[1] % 32;
  const std::string stream(reinterpret_cast<const char*>(data) + 2, size - 2);

  const std::vector<Snapshot> whole = Read(stream, {}, head, limits);
  std::vector<size_t> every;
  for (size_t at = 1; at < stream.size(); ++at) every.push_back(at);
  FUZZ_CHECK(Read(stream, every, head, limits) == whole);
  std::vector<size_t> random;
  uint32_t state = data[1] * 2654435761u + static_cast<uint32_t>(size);
  for (size_t at = 1; at < stream.size(); ++at) {
    state = state * 1664525u + 1013904223u;
    if ((state >> 16) % mean == 0) random.push_back(at);
  }
  FUZZ_CHECK(Read(stream, random, head, limits) == whole);
  return 0;
}
