// CWHttpResponceBase on responses captured from a real HTTP server (python3's
// http.server) on the loopback interface. The test names carry "Loopback":
// ctest labels them `loopback`, so `ctest -LE loopback` skips them.
#include "cwbase/http/httpresponse.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "testing/loopback.h"
#include "testing/tempdir.h"

namespace {

// A generic HTTP/1.1 file server (python3's http.server) serving the folder
// in its first argument on an ephemeral loopback port. It prints its port,
// answers at most as many requests as its second argument says, waits at
// most 10 s for each, and then exits by itself; CWTestServer also ends it,
// by its process id, if it is still running.
const char kFileServer[] =
    "import functools, http.server, sys\n"
    "http.server.SimpleHTTPRequestHandler.protocol_version = 'HTTP/1.1'\n"
    "h = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])\n"
    "s = http.server.HTTPServer(('127.0.0.1', 0), h)\n"
    "s.timeout = 10\n"
    "print(s.server_address[1], flush=True)\n"
    "for _ in range(int(sys.argv[2])): s.handle_request()\n";

// Sends `request` to 127.0.0.1:port and returns every byte received until the
// server closes the connection; empty on failure or after 10 s of silence.
std::string Fetch(int port, const std::string& request) {
  const int s = CWTestConnect(port);
  if (s < 0) return {};
  std::string received;
  if (send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
      static_cast<ssize_t>(request.size())) {
    char buf[4096];
    ssize_t n;
    while ((n = recv(s, buf, sizeof buf, 0)) > 0) received.append(buf, static_cast<size_t>(n));
    if (n < 0) received.clear();
  }
  close(s);
  return received;
}

std::string Request(const char* method, const char* path) {
  return std::string(method) + " " + path +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

// Parses `text` from a block whose storage is exactly its length.
int ParseText(CWHttpResponceBase& r, const std::string& text) {
  CWBlock block(const_cast<char*>(text.data()), text.size());
  return r.Parse(block);
}

std::string Body(CWHttpResponceBase& r) {
  return r.GetBody() ? std::string(r.GetBody(), r.GetBodyLength()) : std::string("<none>");
}

unsigned long ContentLength(CWHttpResponceBase& r) {
  const char* value = r.GetHeaderValue("Content-Length");
  return value ? std::strtoul(value, nullptr, 10) : ~0ul;
}

}  // namespace

TEST(HttpLoopback, ResponsesFromALoopbackServer) {
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  // The body holds an empty line of its own: only the first one ends the headers.
  const std::string content = "first line\r\n\r\nafter an empty line\n";
  { std::ofstream(dir.Path("page.txt"), std::ios::binary) << content; }

  std::string ok, head, missing;
  {
    CWTestServer server({"python3", "-I", "-c", kFileServer, dir.Path(), "3"}, true);
    if (server.Port() > 0) {
      ok = Fetch(server.Port(), Request("GET", "/page.txt"));
      head = Fetch(server.Port(), Request("HEAD", "/page.txt"));
      missing = Fetch(server.Port(), Request("GET", "/missing.txt"));
    }
  }
  if (ok.empty() && head.empty() && missing.empty())
    GTEST_SKIP() << "python3 http.server not available";

  CWHttpResponceBase r;
  ASSERT_EQ(ParseText(r, ok), 0) << ok;
  EXPECT_EQ(r.GetHttpResult(), 200);
  EXPECT_STREQ(r.GetReason(), "OK");
  EXPECT_NE(r.GetHeaderValue("Date"), nullptr);
  EXPECT_NE(r.GetHeaderValue("Server"), nullptr);
  EXPECT_EQ(ContentLength(r), content.size());
  EXPECT_EQ(Body(r), content);

  ASSERT_EQ(ParseText(r, head), 0) << head;
  EXPECT_EQ(r.GetHttpResult(), 200);
  EXPECT_EQ(ContentLength(r), content.size());
  EXPECT_EQ(r.GetBody(), nullptr);
  EXPECT_EQ(r.GetBodyLength(), 0u);

  ASSERT_EQ(ParseText(r, missing), 0) << missing;
  EXPECT_EQ(r.GetHttpResult(), 404);
  EXPECT_STREQ(r.GetReason(), "File not found");
  EXPECT_EQ(ContentLength(r), r.GetBodyLength());
  EXPECT_GT(r.GetBodyLength(), 0u);
}
