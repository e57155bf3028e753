// Test aid: runs a program (looked up in PATH) with arguments, collects its
// standard output, and stops it by its process id when it runs too long.
#pragma once

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
