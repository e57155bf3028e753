// Test aid: servers on the loopback interface, for the tests that talk HTTP
// over real sockets.
// - CWTestServer starts a server program (see CWTestSpawn) and ends it by its
//   process id when destroyed. With `readPort` it takes the port from the
//   first line the server prints, waiting at most 20 s; Port() is 0 when none
//   came. A server that must stop by itself is told so by its own arguments.
// - CWTestConnect opens a TCP connection to 127.0.0.1:port with send and
//   receive time-outs of 10 s, so a silent server cannot hang a test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class CWTestServer {
 public:
  CWTestServer(const std::vector<std::string>& argv, bool readPort);
  ~CWTestServer();
  CWTestServer(const CWTestServer&) = delete;
  CWTestServer& operator=(const CWTestServer&) = delete;

  // The program could be started.
  bool Started() const { return m_Pid > 0; }
  // The port it printed, or 0 (also when it was not asked to read one).
  int Port() const { return m_Port; }

 private:
  pid_t m_Pid = 0;
  int m_Port = 0;
};

// A connected socket (the caller closes it), or -1.
int CWTestConnect(int port);
