// cwtool get: one plain-HTTP GET over a socket, the answer read with
// CWHttpResponseReader as it arrives, then printed: status line, header
// fields, an empty line and the de-chunked body.
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/http/httpreader.h"
#include "tools/command.h"
#include "tools/httpshow.h"

namespace {

struct Url {
  std::string host;
  std::string port = "80";
  std::string path = "/";
};

// Reads "http://HOST[:PORT][/PATH]"; false with `why` set when it is not one.
bool ParseUrl(const std::string& text, Url& url, std::string& why) {
  const std::string scheme = "http://";
  if (text.compare(0, scheme.size(), scheme) != 0) {
    why = text.find("://") != std::string::npos ? "only http:// URLs are supported"
                                                : "not a URL (expected http://HOST[:PORT]/PATH)";
    return false;
  }
  const std::string rest = text.substr(scheme.size());
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  if (slash != std::string::npos) url.path = rest.substr(slash);
  const size_t colon = authority.rfind(':');
  if (colon != std::string::npos) {
    url.port = authority.substr(colon + 1);
    authority.resize(colon);
    const bool digits = !url.port.empty() && url.port.size() <= 5 &&
                        url.port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(url.port) < 1 || std::stoi(url.port) > 65535) {
      why = "bad port \"" + url.port + "\"";
      return false;
    }
  }
  if (authority.empty() || authority.find_first_of("@ \t") != std::string::npos) {
    why = "no host name";
    return false;
  }
  for (char c : url.path) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
      why = "the path holds a space or a control character";
      return false;
    }
  }
  url.host = authority;
  return true;
}

// A connected socket, or -1 with `why` set. Waits at most 10 s for each step.
int Connect(const Url& url, std::string& why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(url.host.c_str(), url.port.c_str(), &hints, &found);
  if (rc != 0) {
    why = "cannot resolve " + url.host + ": " + gai_strerror(rc);
    return -1;
  }
  int s = -1;
  int error = 0;
  for (addrinfo* a = found; a && s < 0; a = a->ai_next) {
    s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s < 0) {
      error = errno;
      continue;
    }
    timeval limit{10, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (connect(s, a->ai_addr, a->ai_addrlen) != 0) {
      error = errno;
      close(s);
      s = -1;
    }
  }
  freeaddrinfo(found);
  if (s < 0) why = "cannot connect to " + url.host + ":" + url.port + ": " + std::strerror(error);
  return s;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 1)
    return CWToolFail(CWTOOL_USAGE, "usage: cwtool get http://HOST[:PORT]/PATH");
  const std::string& label = args[0];
  Url url;
  std::string why;
  if (!ParseUrl(args[0], url, why)) return CWToolFail(CWTOOL_USAGE, label + ": " + why);
  const int s = Connect(url, why);
  if (s < 0) return CWToolFail(CWTOOL_REJECTED, label + ": " + why);

  const std::string host = url.port == "80" ? url.host : url.host + ":" + url.port;
  const std::string request = "GET " + url.path + " HTTP/1.1\r\nHost: " + host +
                              "\r\nUser-Agent: cwtool\r\nAccept: */*\r\nConnection: close\r\n\r\n";
  if (send(s, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    const int error = errno;
    close(s);
    return CWToolFail(CWTOOL_REJECTED,
                      label + ": cannot send the request: " + std::strerror(error));
  }

  // Interim (1xx) answers are read and passed over; the final one is shown.
  CWHttpResponseReader reader;
  long received = 0;  // bytes of the answers before the current one
  char buf[16384];
  int r = 1;
  while (r != -1) {
    const ssize_t n = recv(s, buf, sizeof buf, 0);
    if (n < 0) {
      const int error = errno;
      close(s);
      return CWToolFail(CWTOOL_REJECTED,
                        label + ": " +
                            (error == EAGAIN || error == EWOULDBLOCK
                                 ? std::string("no answer within 10 s")
                                 : std::string("receive failed: ") + std::strerror(error)));
    }
    if (n == 0) {
      r = reader.Finish();
      break;
    }
    long at = 0;
    while (at < n) {
      long used = 0;
      r = reader.Feed(buf + at, n - at, &used);
      if (r != 0) break;
      at += used;
      received += used;
      if (reader.GetStatus() >= 200 || reader.GetStatus() == 101) break;
      reader.Reset();
      r = 1;
    }
    if (r == 0) break;
  }
  close(s);
  if (r == -1) {
    const CWHttpError& e = reader.GetLastError();
    return CWToolFail(CWTOOL_REJECTED, label + ": at byte " + std::to_string(received + e.offset) +
                                           " of the answer: " + e.message);
  }
  CWToolShowResponse(reader, false);
  return CWTOOL_OK;
}

CWToolCommand command("get", "http://HOST[:PORT]/PATH", "fetch a URL with one plain-HTTP GET",
                      "Connects to HOST (port 80 unless given), sends one HTTP/1.1 GET for PATH\n"
                      "with `Connection: close`, reads the answer with the standard reader as it\n"
                      "arrives and prints the status line, each header field, an empty line and\n"
                      "the body, de-chunked. Interim 1xx answers are passed over. Each step waits\n"
                      "at most 10 s. Only http:// is supported (no TLS, no redirects).\n"
                      "Exit codes: 0 an answer was read (whatever its status), 1 the host cannot\n"
                      "be resolved or reached, or the answer is malformed or cut short, 2 usage\n"
                      "error (a URL that is not http://HOST[:PORT]/PATH).\n",
                      Run);

}  // namespace
