#include "testing/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

pid_t CWTestSpawn(const std::vector<std::string>& argv, int* output) {
  int fds[2];
  if (argv.empty() || pipe(fds) != 0) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  *output = fds[0];
  return pid;
}

CWTestProcessResult CWTestRunProcess(const std::vector<std::string>& argv, int seconds) {
  CWTestProcessResult result;
  int output = -1;
  const pid_t pid = CWTestSpawn(argv, &output);
  if (pid < 0) return result;
  result.started = true;
  const time_t deadline = time(nullptr) + seconds;
  bool timedOut = false;
  for (;;) {
    const time_t now = time(nullptr);
    if (now >= deadline) {
      timedOut = true;
      break;
    }
    pollfd p{output, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(deadline - now) * 1000) <= 0) continue;
    char buf[65536];
    const ssize_t n = read(output, buf, sizeof buf);
    if (n <= 0) break;
    result.output.append(buf, static_cast<size_t>(n));
  }
  close(output);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}
