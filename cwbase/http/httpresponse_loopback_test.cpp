// CWHttpResponceBase on responses captured from a real HTTP server (python3's
// http.server) on the loopback interface. The test names carry "Loopback":
// ctest labels them `loopback`, so `ctest -LE loopback` skips them.
#include "cwbase/http/httpresponse.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "testing/tempdir.h"

extern char** environ;

namespace {

// A generic HTTP/1.1 file server (python3's http.server) serving `dir` on an
// ephemeral loopback port. It prints its port, answers at most `requests`
// requests, waits at most 10 s for each, and then exits by itself; the
// destructor also ends it, by its process id, if it is still running.
class LoopbackServer {
 public:
  LoopbackServer(const std::string& dir, int requests) {
    static const char script[] =
        "import functools, http.server, sys\n"
        "http.server.SimpleHTTPRequestHandler.protocol_version = 'HTTP/1.1'\n"
        "h = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])\n"
        "s = http.server.HTTPServer(('127.0.0.1', 0), h)\n"
        "s.timeout = 10\n"
        "print(s.server_address[1], flush=True)\n"
        "for _ in range(int(sys.argv[2])): s.handle_request()\n";
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string count = std::to_string(requests);
    const char* argv[] = {"python3", "-I", "-c", script, dir.c_str(), count.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc == 0) m_pid = pid;
    if (rc == 0) m_port = ReadPort(fds[0]);
    close(fds[0]);
  }
  ~LoopbackServer() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
  }
  int Port() const { return m_port; }

 private:
  // The first line the server prints, within 20 s; 0 when none came.
  static int ReadPort(int fd) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) return 0;
      char buf[64];
      ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) return 0;
      line.append(buf, static_cast<size_t>(n));
    }
    return std::atoi(line.c_str());
  }
  pid_t m_pid = 0;
  int m_port = 0;
};

// Sends `request` to 127.0.0.1:port and returns every byte received until the
// server closes the connection; empty on failure or after 10 s of silence.
std::string Fetch(int port, const std::string& request) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return {};
  timeval limit{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string received;
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
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
    LoopbackServer server(dir.Path(), 3);
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
