// cwtool http: reads a captured raw HTTP/1.x response with the standard
// reader (CWHttpResponseReader) and prints its status, header fields and
// de-chunked body; --exact parses it with CWHttpResponceBase instead and
// prints the status code, reason, header fields and body length.
#include <cstdio>
#include <string>
#include <vector>

#include "cwbase/core/block.h"
#include "cwbase/http/httpreader.h"
#include "cwbase/http/httpresponse.h"
#include "tools/command.h"
#include "tools/httpshow.h"

namespace {

// Parses `data` with the exact parser and prints what it holds; `name`
// labels error messages.
int ShowExact(const std::string& name, const std::string& data) {
  CWBlock block(const_cast<char*>(data.data()), data.size());
  CWHttpResponceBase response;
  switch (response.Parse(block)) {
    case 0:
      break;
    case -1:
      return CWToolFail(CWTOOL_REJECTED, name + ": empty input, nothing to parse");
    default:
      return CWToolFail(
          CWTOOL_REJECTED,
          name + ": no status line (expected e.g. \"HTTP/1.1 200 OK\" ended by CR LF)" +
              (data.find('\r') == std::string::npos ? "; the input has no CR at all" : ""));
  }
  std::printf("code:    %d\n", response.GetHttpResult());
  std::printf("reason:  %s\n", CWToolPrintable(response.GetReason()).c_str());
  std::printf("headers: %d\n", response.GetHeaderCount());
  for (int i = 0; i < response.GetHeaderCount(); ++i) {
    const SWHttpHeader* h = response.GetHeaderAt(i);
    std::printf("  %s: %s\n", CWToolPrintable(h->name).c_str(), CWToolPrintable(h->value).c_str());
  }
  std::printf("body:    %lu bytes\n", response.GetBodyLength());
  return CWTOOL_OK;
}

// Reads every response of `data` with the standard reader (the end of the
// data is the end of the connection) and prints each; `name` labels errors.
int ShowStandard(const std::string& name, const std::string& data) {
  if (data.empty()) return CWToolFail(CWTOOL_REJECTED, name + ": empty input, nothing to read");
  CWHttpResponseReader reader;
  size_t pos = 0;
  for (int count = 0; pos < data.size() || count == 0; ++count) {
    reader.Reset();
    long used = 0;
    int r = reader.Feed(data.data() + pos, static_cast<long>(data.size() - pos), &used);
    if (r == 1) r = reader.Finish();
    if (r == -1) {
      const CWHttpError& e = reader.GetLastError();
      return CWToolFail(CWTOOL_REJECTED,
                        name + ": byte " + std::to_string(pos + e.offset) + ": " + e.message);
    }
    if (count > 0) std::printf("\n");
    CWToolShowResponse(reader, true);
    pos += static_cast<size_t>(used);
  }
  return CWTOOL_OK;
}

int Run(const std::vector<std::string>& args) {
  bool exact = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--exact")
      exact = true;
    else if (a.size() > 1 && a[0] == '-')
      return CWToolFail(CWTOOL_USAGE, "http: unknown option " + a);
    else
      files.push_back(a);
  }
  if (files.size() != 1) return CWToolFail(CWTOOL_USAGE, "usage: cwtool http FILE [--exact]");
  std::string data;
  if (!CWToolReadInput(files[0], data)) return CWTOOL_REJECTED;
  const std::string name = files[0] == "-" ? "stdin" : files[0];
  return exact ? ShowExact(name, data) : ShowStandard(name, data);
}

int Demo() {
  const std::string path = CWToolSamplePath("response.http");
  std::printf("== http: parse a captured response (%s)\n", path.c_str());
  std::string data;
  if (!CWToolReadInput(path, data)) return CWTOOL_REJECTED;
  return ShowExact(path, data);
}

CWToolCommand command(
    "http", "FILE [--exact]", "read a captured raw HTTP response",
    "Reads FILE as raw HTTP/1.x responses, as `curl --include --raw` or a socket\n"
    "capture writes them, with the standard reader: line ends CR LF or LF, the\n"
    "body framed by Content-Length, chunked transfer coding (de-chunked) or the\n"
    "end of the file. For each response it prints the status line, each header\n"
    "field in order (values trimmed, folded lines joined), the framing, whether\n"
    "the connection would stay open, the trailer fields, the body length and,\n"
    "after an empty line, the body itself. A malformed response is reported as\n"
    "`FILE: byte N: what`.\n"
    "--exact parses FILE with the exact parser (CWHttpResponceBase) instead and\n"
    "prints the status code, the reason, each header field and the length of the\n"
    "body. There, lines must end with CR LF; the value of a header starts two\n"
    "bytes after its colon; the body is everything after the first empty line.\n"
    "Bytes outside printable ASCII in the listing, and backslashes, are shown\n"
    "as \\xNN.\n"
    "Exit codes: 0 done, 1 empty input, no status line (--exact) or a malformed\n"
    "response, 2 usage error.\n",
    Run, Demo, 30);

}  // namespace
