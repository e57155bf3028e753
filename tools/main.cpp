// cwtool: the command-line front end of the cwbase library.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <fstream>
#include <sstream>

#include "tools/command.h"

CWToolCommand::CWToolCommand(const char* n, const char* u, const char* s, const char* h, Run r,
                             Demo d, int order)
    : name(n), usage(u), summary(s), help(h), run(r), demo(d), demoOrder(order) {
  All().push_back(this);
}

std::vector<const CWToolCommand*>& CWToolCommand::All() {
  static std::vector<const CWToolCommand*> commands;
  return commands;
}

std::string CWToolSamplePath(const std::string& name) {
  const char* dir = std::getenv("CWBASE_SAMPLES");
  return std::string(dir && *dir ? dir : CWBASE_SAMPLES_DIR) + "/" + name;
}

bool CWToolReadInput(const std::string& path, std::string& out) {
  if (path == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    out = ss.str();
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cwtool: %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int CWToolFail(int code, const std::string& message) {
  std::fprintf(stderr, "cwtool: %s\n", message.c_str());
  return code;
}

namespace {

std::vector<const CWToolCommand*> Sorted() {
  auto list = CWToolCommand::All();
  std::sort(list.begin(), list.end(),
            [](const CWToolCommand* a, const CWToolCommand* b) { return std::strcmp(a->name, b->name) < 0; });
  return list;
}

void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "usage: cwtool [SUBCOMMAND [ARGS...]]\n"
               "       cwtool SUBCOMMAND --help\n\n"
               "Runs `demo` when no subcommand is given. Subcommands:\n");
  for (const CWToolCommand* c : Sorted())
    std::fprintf(to, "  %-8s %-28s %s\n", c->name, c->usage, c->summary);
  std::fprintf(to,
               "\nA FILE argument of - reads standard input.\n"
               "Exit codes: 0 done, 1 input rejected, 2 usage error.\n");
}

int RunDemo(const std::vector<std::string>&) {
  auto list = CWToolCommand::All();
  std::stable_sort(list.begin(), list.end(),
                   [](const CWToolCommand* a, const CWToolCommand* b) { return a->demoOrder < b->demoOrder; });
  int worst = CWTOOL_OK;
  for (const CWToolCommand* c : list) {
    if (!c->demo) continue;
    int rc = c->demo();
    std::printf("\n");
    worst = std::max(worst, rc);
  }
  return worst;
}

CWToolCommand demoCommand("demo", "", "walk every subsystem over the bundled samples",
                          "Runs each subsystem's demonstration on the files in samples/:\n"
                          "whole-file reading, encodings, the XML document road and the\n"
                          "HTTP response parser. Set CWBASE_SAMPLES to use another folder.\n",
                          RunDemo);

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return RunDemo(args);
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(stdout);
    return CWTOOL_OK;
  }
  for (const CWToolCommand* c : CWToolCommand::All()) {
    if (name != c->name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
      std::printf("usage: cwtool %s %s\n\n%s", c->name, c->usage, c->help);
      return CWTOOL_OK;
    }
    return c->run(rest);
  }
  std::fprintf(stderr, "cwtool: unknown subcommand '%s'\n\n", name.c_str());
  PrintHelp(stderr);
  return CWTOOL_USAGE;
}
