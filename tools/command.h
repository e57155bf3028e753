// cwtool's subcommand registry.
//
// Each subcommand lives in its own source file in tools/ and registers itself
// with a static CWToolCommand object; main() dispatches on the first argument.
// A subcommand may also contribute a step to `cwtool demo`: demo steps run in
// ascending order of their `demoOrder` value.
//
// Exit codes: 0 done, 1 the input was rejected, 2 usage error. Every error
// goes to standard error as "cwtool: FILE: what was wrong" (CWToolFail); after
// a usage error main() adds a pointer to `cwtool NAME --help`.
//
// Locale: main() sets the user's locale (setlocale(LC_ALL, "")) once before
// dispatching. A subcommand or demo step that needs another locale for a step
// switches with a CWToolLocaleScope, which puts the previous one back, so each
// step leaves the locale as it found it. cwtool is single-threaded.
#pragma once

#include <string>
#include <vector>

enum { CWTOOL_OK = 0, CWTOOL_REJECTED = 1, CWTOOL_USAGE = 2 };

struct CWToolCommand {
  using Run = int (*)(const std::vector<std::string>& args);
  using Demo = int (*)();

  // Registers a subcommand. `usage` is the argument synopsis, `summary` a
  // one-line description and `help` the longer text shown by `NAME --help`.
  CWToolCommand(const char* name, const char* usage, const char* summary, const char* help, Run run,
                Demo demo = nullptr, int demoOrder = 0);

  const char* name;
  const char* usage;
  const char* summary;
  const char* help;
  Run run;
  Demo demo;
  int demoOrder;

  static std::vector<const CWToolCommand*>& All();
};

// Where the bundled sample files live (the source tree's samples/ folder, or
// the CWBASE_SAMPLES environment variable when set).
std::string CWToolSamplePath(const std::string& name);

// Reads a whole file, or standard input for "-", into `out`. On failure (the
// file cannot be opened, a read error such as a directory, or input too large
// for memory) prints "cwtool: FILE: reason" to standard error, leaves `out`
// empty and returns false. Never throws.
bool CWToolReadInput(const std::string& path, std::string& out);

// The wide form of a text in the current locale's encoding (terminated);
// false when the text is not valid in that encoding.
bool CWToolToWide(const std::string& text, std::vector<wchar_t>& out);

// The current locale's multibyte form of a wide text; false (and `out`
// unspecified) when some character has none.
bool CWToolToBytes(const wchar_t* text, std::string& out);

// Prints "cwtool: message" to standard error and returns `code`.
int CWToolFail(int code, const std::string& message);

// Switches LC_ALL to `name` for the object's lifetime and restores the locale
// found on entry when it is destroyed. A null `name`, or a locale that is not
// available, leaves the locale as it is (IsSwitched() tells which).
class CWToolLocaleScope {
 public:
  explicit CWToolLocaleScope(const char* name);
  ~CWToolLocaleScope();
  CWToolLocaleScope(const CWToolLocaleScope&) = delete;
  CWToolLocaleScope& operator=(const CWToolLocaleScope&) = delete;

  bool IsSwitched() const { return m_Switched; }

 private:
  std::string m_Saved;
  bool m_Switched = false;
};
