// Parsing a captured HTTP response with cwbase.
//
//   http_response [FILE]
//
// FILE holds a raw HTTP/1.x response exactly as received, e.g. from
// `curl --silent --include --raw URL > FILE`. Without FILE a small built-in
// response is parsed. Line ends must be CR LF.
#include <strings.h>  // strcasecmp
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <cwbase/core/block.h>
#include <cwbase/http/httpresponse.h>
#include <cwbase/platform/filecontent.h>

namespace {

const char kCaptured[] =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Length: 13\r\n"
    "Cache-Control: no-cache\r\n"
    "\r\n"
    "Hello, world!";

// The value of the first header whose name matches in any case, or null.
const char* FindHeader(CWHttpResponceBase& response, const char* name) {
  for (int i = 0; i < response.GetHeaderCount(); ++i) {
    const SWHttpHeader* h = response.GetHeaderAt(i);
    if (h->name && strcasecmp(h->name, name) == 0) return h->value;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // The received bytes go into a block, from a file or from memory.
  CWBlock received;
  if (argc > 1) {
    errno = 0;  // an empty file answers the current errno: let it be 0
    int rc = ReadFileContent(argv[1], received);  // 0, -1 or an errno value
    if (rc != 0) {
      std::fprintf(stderr, "http_response: %s: %s\n", argv[1],
                   rc > 0 ? std::strerror(rc) : "cannot be read");
      return 1;
    }
  } else {
    received.SetBuffer(const_cast<char*>(kCaptured), sizeof kCaptured - 1);
  }

  // Parse copies the block and cuts the copy in place. Every pointer the
  // parser hands out points into that copy and stays valid while `response`
  // lives (and until its next Parse).
  CWHttpResponceBase response;
  switch (response.Parse(received)) {
    case 0:
      break;
    case -1:
      std::fprintf(stderr, "http_response: empty input\n");
      return 1;
    default:  // -2: the first line gave no status code
      std::fprintf(stderr, "http_response: no status line%s\n",
                   std::memchr(received.GetBuffer(), '\r', received.GetSize())
                       ? ""
                       : " (the input has no CR: LF-only line ends are not recognised)");
      return 1;
  }

  std::printf("status:  %d %s\n", response.GetHttpResult(), response.GetReason());

  // Headers in the order received. The value starts two bytes after the colon
  // (the byte after the colon is skipped whatever it is) and is not trimmed.
  for (int i = 0; i < response.GetHeaderCount(); ++i) {
    const SWHttpHeader* h = response.GetHeaderAt(i);
    std::printf("header:  [%s] = [%s]\n", h->name, h->value);
  }

  // GetHeaderValue compares names byte for byte, but HTTP names are not case
  // sensitive ("Content-type" is the same header): walk the list for those.
  const char* exact = response.GetHeaderValue("Content-Type");
  const char* type = exact ? exact : FindHeader(response, "content-type");
  std::printf("type:    %s%s\n", type ? type : "(no Content-Type header)",
              type && !exact ? "  (name spelled in another case)" : "");

  // The body is NOT zero-terminated and may hold any bytes: use its length.
  if (const char* body = response.GetBody()) {
    unsigned long length = response.GetBodyLength();
    std::printf("body:    %lu bytes\n", length);
    std::fwrite(body, 1, length, stdout);
    std::printf("\n");
  } else {
    std::printf("body:    none\n");
  }
  return 0;
}
