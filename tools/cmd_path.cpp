// cwtool path: composes a file path from a folder, a name and an extension.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cwbase/platform/filehandle.h"
#include "cwbase/text/encoding.h"
#include "tools/command.h"

namespace {

const int kCapacity = 4096;

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() > 3)
    return CWToolFail(CWTOOL_USAGE, "usage: cwtool path FOLDER NAME [EXT]");
  std::setlocale(LC_ALL, "");
  std::vector<wchar_t> wide[3];
  for (size_t i = 0; i < args.size(); ++i)
    if (!CWToolToWide(args[i], wide[i]))
      return CWToolFail(CWTOOL_REJECTED, args[i] + ": not valid text in the current locale");
  std::vector<wchar_t> out(kCapacity, 0);
  const wchar_t* extension = args.size() == 3 ? wide[2].data() : nullptr;
  if (!MakeFullPath(out.data(), kCapacity, wide[0].data(), wide[1].data(), extension))
    return CWToolFail(CWTOOL_REJECTED, args[1].empty()
                                           ? "the name is empty"
                                           : "the path does not fit in 4095 characters");
  std::string bytes;
  if (!CWToolToBytes(out.data(), bytes)) bytes.clear();
  std::printf("%s\n", bytes.c_str());
  return CWTOOL_OK;
}

CWToolCommand command(
    "path", "FOLDER NAME [EXT]", "compose FOLDER\\NAME.EXT as MakeFullPath does",
    "Prints the path MakeFullPath composes: FOLDER and NAME joined by a backslash\n"
    "(none is added when FOLDER already ends with one; the backslash is the only\n"
    "separator known, so FOLDER/ still gets one), then '.' and EXT when EXT is\n"
    "given and not empty. An empty FOLDER gives NAME alone. FOLDER and NAME\n"
    "together beyond 1023 characters are dropped (the formatting limit).\n"
    "Exit codes: 0 done, 1 empty NAME or a result beyond 4095 characters,\n"
    "2 usage error.\n",
    Run);

}  // namespace
