// cwtool http: parses a captured raw HTTP/1.x response and prints its status
// code, reason, header fields and body length.
#include <cstdio>
#include <string>
#include <vector>

#include "cwbase/core/block.h"
#include "cwbase/http/httpresponse.h"
#include "tools/command.h"

namespace {

// The text with bytes outside printable ASCII shown as \xNN, so a header that
// carries a bare LF or a zero byte cannot garble the listing.
std::string Printable(const char* text) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p >= 0x20 && *p < 0x7f && *p != '\\') {
      out += static_cast<char>(*p);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", *p);
      out += hex;
    }
  }
  return out;
}

// Parses `data` and prints what it holds; `name` labels error messages.
int Show(const std::string& name, const std::string& data) {
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
  std::printf("reason:  %s\n", Printable(response.GetReason()).c_str());
  std::printf("headers: %d\n", response.GetHeaderCount());
  for (int i = 0; i < response.GetHeaderCount(); ++i) {
    const SWHttpHeader* h = response.GetHeaderAt(i);
    std::printf("  %s: %s\n", Printable(h->name).c_str(), Printable(h->value).c_str());
  }
  std::printf("body:    %lu bytes\n", response.GetBodyLength());
  return CWTOOL_OK;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 1) return CWToolFail(CWTOOL_USAGE, "usage: cwtool http FILE");
  std::string data;
  if (!CWToolReadInput(args[0], data)) return CWTOOL_REJECTED;
  return Show(args[0] == "-" ? "stdin" : args[0], data);
}

int Demo() {
  const std::string path = CWToolSamplePath("response.http");
  std::printf("== http: parse a captured response (%s)\n", path.c_str());
  std::string data;
  if (!CWToolReadInput(path, data)) return CWTOOL_REJECTED;
  return Show(path, data);
}

CWToolCommand command(
    "http", "FILE", "parse a captured raw HTTP response",
    "Parses FILE as a raw HTTP/1.x response, as `curl --include --raw` or a socket\n"
    "capture writes it, and prints the status code, the reason, each header field\n"
    "in order and the length of the body. Lines must end with CR LF; the value of a\n"
    "header starts two bytes after its colon; the body is everything after the\n"
    "first empty line. Bytes outside printable ASCII, and backslashes, are shown\n"
    "as \\xNN.\n"
    "Exit codes: 0 done, 1 empty input or no status line, 2 usage error.\n",
    Run, Demo, 30);

}  // namespace
