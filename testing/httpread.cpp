#include "testing/httpread.h"

#include <cstdio>
#include <ostream>

#include "testing/httpfeed.h"

bool CWTestHttpResult::operator==(const CWTestHttpResult& o) const {
  return result == o.result && used == o.used && status == o.status && minor == o.minor &&
         reason == o.reason && headers == o.headers && trailers == o.trailers && body == o.body &&
         framing == o.framing && contentLength == o.contentLength && keepAlive == o.keepAlive &&
         errorCode == o.errorCode && errorOffset == o.errorOffset;
}

std::string CWTestPrintable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

void PrintTo(const CWTestHttpResult& result, std::ostream* out) {
  *out << result.Describe();
}

std::string CWTestHttpResult::Describe() const {
  std::string out = "result " + std::to_string(result) + " used " + std::to_string(used) +
                    " status " + std::to_string(status) + " minor " + std::to_string(minor) +
                    " reason \"" + CWTestPrintable(reason) + "\" framing " +
                    std::to_string(framing) + " length " + std::to_string(contentLength) +
                    (keepAlive ? " keep-alive" : " close") + " error " + std::to_string(errorCode) +
                    "@" + std::to_string(errorOffset) + "\n";
  for (const auto& h : headers)
    out += "  " + CWTestPrintable(h.first) + ": " + CWTestPrintable(h.second) + "\n";
  for (const auto& h : trailers)
    out += "  trailer " + CWTestPrintable(h.first) + ": " + CWTestPrintable(h.second) + "\n";
  return out + "  body \"" + CWTestPrintable(body) + "\"\n";
}

CWTestHttpResult CWTestTakeResult(const CWHttpResponseReader& reader, int result, long used) {
  CWTestHttpResult r;
  r.result = result;
  r.used = used;
  r.status = reader.GetStatus();
  r.minor = reader.GetMinorVersion();
  r.reason = reader.GetReason();
  for (int i = 0; i < reader.GetHeaderCount(); ++i)
    r.headers.emplace_back(reader.GetHeaderAt(i)->name, reader.GetHeaderAt(i)->value);
  for (int i = 0; i < reader.GetTrailerCount(); ++i)
    r.trailers.emplace_back(reader.GetTrailerAt(i)->name, reader.GetTrailerAt(i)->value);
  r.body.assign(reader.GetBody(), static_cast<size_t>(reader.GetBodyLength()));
  r.framing = reader.GetFraming();
  r.contentLength = reader.GetContentLength();
  r.keepAlive = reader.IsKeepAlive();
  r.errorCode = reader.GetLastError().code;
  r.errorOffset = reader.GetLastError().offset;
  return r;
}

std::vector<CWTestHttpResult> CWTestReadStream(CWHttpResponseReader& reader,
                                               const std::string& stream,
                                               const std::vector<size_t>& cuts,
                                               const std::vector<bool>& heads, bool finish) {
  std::vector<CWTestHttpResult> out;
  size_t pos = 0;
  size_t cut = 0;  // the first cut after pos
  while (pos < stream.size() || out.empty()) {
    reader.Reset(out.size() < heads.size() && heads[out.size()]);
    const size_t start = pos;
    int r = CWTestFeedPieces(reader, stream, cuts, &pos, &cut, [](int, long, size_t) {});
    if (r == 1 && finish) r = reader.Finish();
    // After a failure, how much of the stream had been taken depends on the
    // pieces; the error offset tells where the fault is.
    out.push_back(CWTestTakeResult(reader, r, r == -1 ? -1 : static_cast<long>(pos - start)));
    if (r != 0) break;
  }
  return out;
}

std::vector<size_t> CWTestCutsEvery(size_t size, size_t step) {
  std::vector<size_t> cuts;
  for (size_t at = step; step > 0 && at < size; at += step) cuts.push_back(at);
  return cuts;
}

std::vector<size_t> CWTestRandomCuts(CWTestRandom& random, size_t size, unsigned mean) {
  std::vector<size_t> cuts;
  for (size_t at = 1; at < size; ++at)
    if (random.OneIn(mean)) cuts.push_back(at);
  return cuts;
}
