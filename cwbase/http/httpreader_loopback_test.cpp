// CWHttpResponseReader over real sockets on the loopback interface, against
// real servers: python3's http.server with a handler that answers chunked,
// by length and until the close, and nginx when it is installed (skipped
// otherwise). Requests are pipelined on one keep-alive connection and the
// reader is fed what each recv returns. Servers listen on 127.0.0.1 only,
// answer a bounded number of connections, wait at most 10 s for each and
// stop by themselves; the tests also end them by process id. The test names
// carry "Loopback": ctest labels them `loopback`.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cwbase/http/httpreader.h"
#include "testing/loopback.h"
#include "testing/tempdir.h"

namespace {

struct Answer {
  int status;
  std::string body;
  std::string contentType;
  int framing;
  bool keepAlive;
};

Answer Take(const CWHttpResponseReader& reader) {
  const char* type = reader.GetHeaderValue("content-type");
  return Answer{reader.GetStatus(),
                std::string(reader.GetBody(), static_cast<size_t>(reader.GetBodyLength())),
                type ? type : "", reader.GetFraming(), reader.IsKeepAlive()};
}

// Sends the pipelined `requests` on one connection and reads the answers as
// they arrive: each recv is fed to the reader, and the bytes after a
// complete response start the next one. `heads` tells which requests are HEAD.
std::vector<Answer> Exchange(int port, const std::string& requests, const std::vector<bool>& heads,
                             std::string* failure) {
  std::vector<Answer> answers;
  const int s = CWTestConnect(port);
  if (s < 0 || send(s, requests.data(), requests.size(), MSG_NOSIGNAL) !=
                   static_cast<ssize_t>(requests.size())) {
    *failure = "cannot connect or send";
    if (s >= 0) close(s);
    return answers;
  }
  CWHttpResponseReader reader;
  reader.Reset(heads.empty() ? false : heads[0]);
  char buf[1460];
  for (;;) {
    const ssize_t n = recv(s, buf, sizeof buf, 0);
    if (n < 0) {
      *failure = "recv failed or timed out";
      break;
    }
    if (n == 0) {
      // The close ends a body delimited by it; a response not begun is no fault.
      if (reader.Finish() == 0)
        answers.push_back(Take(reader));
      else if (reader.GetLastError().offset > 0)
        *failure = reader.GetLastError().message;
      break;
    }
    long at = 0;
    while (at < n) {
      long used = 0;
      const int r = reader.Feed(buf + at, n - at, &used);
      if (r == -1) {
        *failure = reader.GetLastError().message;
        close(s);
        return answers;
      }
      at += used;
      if (r == 0) {
        answers.push_back(Take(reader));
        const size_t next = answers.size();
        reader.Reset(next < heads.size() && heads[next]);
      }
    }
  }
  close(s);
  return answers;
}

std::string Get(const char* path, bool close = false) {
  return std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
         (close ? "Connection: close\r\n" : "") + "\r\n";
}

// A handler that answers /chunked/N with N chunks, /length/N with N bytes,
// /close with a body that runs until it closes, and any HEAD like the GET.
const char kPythonServer[] = R"(
import http.server, sys
class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    def log_message(self, *args):
        pass
    def answer(self, send_body):
        parts = self.path.strip('/').split('/')
        if parts[0] == 'chunked':
            self.send_response(200)
            self.send_header('Content-Type', 'text/plain')
            self.send_header('Transfer-Encoding', 'chunked')
            self.end_headers()
            if send_body:
                for i in range(int(parts[1])):
                    data = ('chunk %d;' % i).encode() * (i + 1)
                    self.wfile.write(b'%x;n=%d\r\n%s\r\n' % (len(data), i, data))
                self.wfile.write(b'0\r\nX-Checksum: done\r\n\r\n')
        elif parts[0] == 'length':
            data = b'x' * int(parts[1])
            self.send_response(200)
            self.send_header('Content-Type', 'application/octet-stream')
            self.send_header('Content-Length', str(len(data)))
            self.end_headers()
            if send_body:
                self.wfile.write(data)
        else:
            self.send_response(200)
            self.send_header('Content-Type', 'text/plain')
            self.send_header('Connection', 'close')
            self.end_headers()
            self.close_connection = True
            if send_body:
                self.wfile.write(b'until the end\n' * 100)
    def do_GET(self):
        self.answer(True)
    def do_HEAD(self):
        self.answer(False)
s = http.server.HTTPServer(('127.0.0.1', 0), Handler)
s.timeout = 10
print(s.server_address[1], flush=True)
for _ in range(int(sys.argv[1])):
    s.handle_request()
)";

std::string ChunkedBody(int chunks) {
  std::string body;
  for (int i = 0; i < chunks; ++i)
    for (int k = 0; k <= i; ++k) body += "chunk " + std::to_string(i) + ";";
  return body;
}

TEST(HttpReaderLoopback, PythonServerChunkedKeepAliveAndPipelined) {
  CWTestServer server({"python3", "-I", "-c", kPythonServer, "2"}, true);
  if (!server.Started() || server.Port() <= 0) GTEST_SKIP() << "python3 http.server not available";

  // Pipelined on one keep-alive connection, the last one closing it.
  const std::string requests = Get("/chunked/40") + Get("/length/100000") +
                               "HEAD /length/7 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" +
                               Get("/chunked/3") + Get("/close");
  std::string failure;
  const std::vector<Answer> answers =
      Exchange(server.Port(), requests, {false, false, true, false, false}, &failure);
  EXPECT_EQ(failure, "");
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[0].framing, CWHTTP_FRAMING_CHUNKED);
  EXPECT_EQ(answers[0].body, ChunkedBody(40));
  EXPECT_TRUE(answers[0].keepAlive);
  EXPECT_EQ(answers[1].framing, CWHTTP_FRAMING_LENGTH);
  EXPECT_EQ(answers[1].body, std::string(100000, 'x'));
  EXPECT_EQ(answers[2].framing, CWHTTP_FRAMING_NONE);  // HEAD
  EXPECT_EQ(answers[2].body, "");
  EXPECT_EQ(answers[3].body, ChunkedBody(3));
  EXPECT_EQ(answers[4].framing, CWHTTP_FRAMING_CLOSE);
  EXPECT_FALSE(answers[4].keepAlive);
  std::string until;
  for (int i = 0; i < 100; ++i) until += "until the end\n";
  EXPECT_EQ(answers[4].body, until);
  for (const Answer& a : answers) EXPECT_EQ(a.status, 200);

  // A second connection, with HTTP/1.0 semantics asked for by closing.
  const std::vector<Answer> one = Exchange(server.Port(), Get("/length/3", true), {}, &failure);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].body, "xxx");
}

// A free port on the loopback interface, or 0.
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  int port = 0;
  if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &size) == 0)
    port = ntohs(addr.sin_port);
  if (s >= 0) close(s);
  return port;
}

bool HaveNginx() {
  for (const char* dir : {"/usr/sbin/", "/usr/local/sbin/", "/usr/bin/"})
    if (access((std::string(dir) + "nginx").c_str(), X_OK) == 0) return true;
  return false;
}

TEST(HttpReaderLoopback, NginxChunkedKeepAliveAndPipelined) {
  if (!HaveNginx()) GTEST_SKIP() << "nginx is not installed";
  CWTestDir dir;
  ASSERT_TRUE(dir.Ok());
  const int port = FreePort();
  ASSERT_GT(port, 0);
  const std::string page(5000, 'p');
  { std::ofstream(dir.Path("page.txt"), std::ios::binary) << page; }
  {
    // Gzip without a minimum length makes nginx send the page chunked.
    std::ofstream(dir.Path("nginx.conf"))
        << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << dir.Path("nginx.pid")
        << ";\nerror_log " << dir.Path("error.log") << ";\nevents { worker_connections 16; }\n"
        << "http {\n  access_log off;\n  client_body_temp_path " << dir.Path("tmp") << ";\n"
        << "  keepalive_timeout 10s;\n  server {\n    listen 127.0.0.1:" << port << ";\n"
        << "    root " << dir.Path() << ";\n    location /gz/ { gzip on; gzip_min_length 0;"
        << " gzip_types text/plain; alias " << dir.Path() << "/; }\n  }\n}\n";
  }
  CWTestServer server({"nginx", "-p", dir.Path(), "-c", dir.Path("nginx.conf")}, false);
  ASSERT_TRUE(server.Started());
  // Wait up to 10 s for it to listen.
  for (int i = 0; i < 100; ++i) {
    const int s = CWTestConnect(port);
    if (s >= 0) {
      close(s);
      break;
    }
    usleep(100000);
  }
  const std::string gz =
      "GET /gz/page.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\n\r\n";
  const std::string requests = Get("/page.txt") + gz +
                               "HEAD /page.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" +
                               Get("/missing") + Get("/page.txt", true);
  std::string failure;
  const std::vector<Answer> answers =
      Exchange(port, requests, {false, false, true, false, false}, &failure);
  EXPECT_EQ(failure, "");
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[0].body, page);
  EXPECT_EQ(answers[0].framing, CWHTTP_FRAMING_LENGTH);
  EXPECT_EQ(answers[1].framing, CWHTTP_FRAMING_CHUNKED);
  ASSERT_GE(answers[1].body.size(), 2u);
  EXPECT_EQ(answers[1].body.substr(0, 2), "\x1f\x8b");  // a gzip stream
  EXPECT_EQ(answers[2].body, "");
  EXPECT_EQ(answers[3].status, 404);
  EXPECT_TRUE(answers[3].keepAlive);
  EXPECT_EQ(answers[4].body, page);
  EXPECT_FALSE(answers[4].keepAlive);
}

}  // namespace
