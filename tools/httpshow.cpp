#include "tools/httpshow.h"

#include <cstdio>

std::string CWToolPrintable(const char* text) {
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

namespace {

const char* Framing(int framing) {
  switch (framing) {
    case CWHTTP_FRAMING_NONE:
      return "no body";
    case CWHTTP_FRAMING_LENGTH:
      return "Content-Length";
    case CWHTTP_FRAMING_CHUNKED:
      return "chunked";
    case CWHTTP_FRAMING_CLOSE:
      return "until the connection closes";
    default:
      return "unknown";
  }
}

}  // namespace

void CWToolShowResponse(const CWHttpResponseReader& reader, bool summary) {
  const char* reason = reader.GetReason();
  std::printf("HTTP/1.%d %d%s%s\n", reader.GetMinorVersion(), reader.GetStatus(),
              *reason ? " " : "", CWToolPrintable(reason).c_str());
  for (int i = 0; i < reader.GetHeaderCount(); ++i) {
    const SWHttpHeader* h = reader.GetHeaderAt(i);
    std::printf("%s: %s\n", CWToolPrintable(h->name).c_str(), CWToolPrintable(h->value).c_str());
  }
  if (summary) {
    std::printf("-- framing: %s; connection: %s; body: %ld bytes\n", Framing(reader.GetFraming()),
                reader.IsKeepAlive() ? "keep-alive" : "close", reader.GetBodyLength());
    for (int i = 0; i < reader.GetTrailerCount(); ++i) {
      const SWHttpHeader* h = reader.GetTrailerAt(i);
      std::printf("-- trailer %s: %s\n", CWToolPrintable(h->name).c_str(),
                  CWToolPrintable(h->value).c_str());
    }
  }
  std::printf("\n");
  std::fwrite(reader.GetBody(), 1, static_cast<size_t>(reader.GetBodyLength()), stdout);
}
