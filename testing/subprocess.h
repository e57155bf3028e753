// Test aid: runs a program (looked up in PATH) with arguments, collects its
// standard output, and stops it by its process id when it runs too long.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct CWTestProcessResult {
  bool started = false;  // the program could be started
  int exitCode = -1;     // its exit status; -1 when it did not exit normally or timed out
  std::string output;    // its standard output
};

// Runs argv[0] with `argv`, standard input from /dev/null and standard error
// discarded; waits at most `seconds` for it to finish.
CWTestProcessResult CWTestRunProcess(const std::vector<std::string>& argv, int seconds);

// Starts argv[0] with `argv`, standard input from /dev/null, standard output
// into a pipe and standard error discarded. Returns the process id, with the
// pipe's reading end in *output (the caller closes it and waits for the
// process); -1 when it could not be started (nothing to close then).
pid_t CWTestSpawn(const std::vector<std::string>& argv, int* output);
