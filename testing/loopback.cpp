#include "testing/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "testing/subprocess.h"

namespace {

// The first line the server prints, within 20 s; 0 when none came.
int ReadPort(int fd) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) return 0;
    char buf[64];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return 0;
    line.append(buf, static_cast<size_t>(n));
  }
  return std::atoi(line.c_str());
}

}  // namespace

CWTestServer::CWTestServer(const std::vector<std::string>& argv, bool readPort) {
  int output = -1;
  const pid_t pid = CWTestSpawn(argv, &output);
  if (pid < 0) return;
  m_Pid = pid;
  if (readPort) m_Port = ReadPort(output);
  close(output);
}

CWTestServer::~CWTestServer() {
  if (m_Pid <= 0) return;
  kill(m_Pid, SIGTERM);
  waitpid(m_Pid, nullptr, 0);
}

int CWTestConnect(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  timeval limit{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(s);
    return -1;
  }
  return s;
}
