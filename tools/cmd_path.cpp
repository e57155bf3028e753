// cwtool path: composes a file path from a folder, a name and an extension.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/platform/filehandle.h"
#include "tools/command.h"

namespace {

// MakeFullPath refuses a folder-and-name part (with the backslash it adds)
// beyond this many units: the formatting helper's limit less the terminator.
const size_t kJoinedLimit = 1023;

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() > 3)
    return CWToolFail(CWTOOL_USAGE, "usage: cwtool path FOLDER NAME [EXT]");
  std::vector<wchar_t> wide[3];
  for (size_t i = 0; i < args.size(); ++i)
    if (!CWToolToWide(args[i], wide[i]))
      return CWToolFail(CWTOOL_REJECTED, args[i] + ": not valid text in the current locale");
  const wchar_t* extension = args.size() == 3 ? wide[2].data() : nullptr;
  // Room for the longest result MakeFullPath can give: the joined part at
  // its limit, '.', the extension and the terminator. Only the name and the
  // joined part's length can then make it refuse.
  size_t capacity = kJoinedLimit + 2 + (extension ? std::wcslen(extension) : 0) + 1;
  std::vector<wchar_t> out(capacity, 0);
  if (!MakeFullPath(out.data(), static_cast<int>(capacity), wide[0].data(), wide[1].data(),
                    extension))
    return CWToolFail(CWTOOL_REJECTED, args[1].empty()
                                           ? "the name is empty"
                                           : "FOLDER and NAME joined exceed 1023 characters");
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
    "joined may hold at most 1023 characters (the formatting limit); a longer\n"
    "path is refused, not cut.\n"
    "Exit codes: 0 done, 1 empty NAME, FOLDER and NAME joined beyond 1023\n"
    "characters, or an argument not valid in the current locale, 2 usage error.\n",
    Run);

}  // namespace
