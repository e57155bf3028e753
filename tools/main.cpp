// cwtool: the command-line front end of the cwbase library.
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

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
  const bool fromStdin = path == "-";
  const char* label = fromStdin ? "-" : path.c_str();
  std::FILE* in = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "cwtool: %s: %s\n", label, std::strerror(errno));
    return false;
  }
  out.clear();
  // Read in chunks rather than measuring: standard input and pipes cannot
  // seek, and a directory opens but fails on the first read (EISDIR).
  bool tooLarge = false;
  char chunk[65536];
  size_t n;
  errno = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
    try {
      out.append(chunk, n);
    } catch (const std::exception&) {
      tooLarge = true;
      break;
    }
  }
  const int error = std::ferror(in) ? (errno ? errno : EIO) : 0;
  if (!fromStdin) std::fclose(in);
  if (tooLarge || error) {
    std::fprintf(stderr, "cwtool: %s: %s\n", label,
                 tooLarge ? "too large to hold in memory" : std::strerror(error));
    out.clear();
    return false;
  }
  return true;
}

int CWToolFail(int code, const std::string& message) {
  std::fprintf(stderr, "cwtool: %s\n", message.c_str());
  return code;
}

namespace {

std::vector<const CWToolCommand*> Sorted() {
  auto list = CWToolCommand::All();
  std::sort(list.begin(), list.end(), [](const CWToolCommand* a, const CWToolCommand* b) {
    return std::strcmp(a->name, b->name) < 0;
  });
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
               "Errors go to standard error as \"cwtool: FILE: what was wrong\".\n"
               "Exit codes: 0 done, 1 input rejected, 2 usage error.\n");
}

void PrintCommandHelp(const CWToolCommand& c) {
  std::printf("usage: cwtool %s%s%s\n\n%s", c.name, *c.usage ? " " : "", c.usage, c.help);
}

int RunDemo(const std::vector<std::string>& args) {
  if (!args.empty()) return CWToolFail(CWTOOL_USAGE, "demo: takes no arguments");
  auto list = CWToolCommand::All();
  std::stable_sort(list.begin(), list.end(), [](const CWToolCommand* a, const CWToolCommand* b) {
    return a->demoOrder < b->demoOrder;
  });
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
                          "whole-file reading and the encodings, dates, the XML document\n"
                          "road, the HTTP response parser, versions and picture masks.\n"
                          "Set CWBASE_SAMPLES to use another folder.\n"
                          "Exit codes: 0 every step done, 1 a step rejected its input.\n",
                          RunDemo);

}  // namespace

int main(int argc, char** argv) {
  // The user's locale, once, for every subcommand: arguments, file names and
  // output convert through it.
  std::setlocale(LC_ALL, "");
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
    // --help anywhere, or -h as the only argument, shows the subcommand's help.
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
        (rest.size() == 1 && rest[0] == "-h")) {
      PrintCommandHelp(*c);
      return CWTOOL_OK;
    }
    int rc = c->run(rest);
    if (rc == CWTOOL_USAGE)
      std::fprintf(stderr, "Run 'cwtool %s --help' for the usage.\n", c->name);
    return rc;
  }
  std::fprintf(stderr, "cwtool: %s: unknown subcommand\n\n", name.c_str());
  PrintHelp(stderr);
  return CWTOOL_USAGE;
}
