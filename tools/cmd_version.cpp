// cwtool version: converts between four-part version texts and their packed
// 64-bit values.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cwbase/text/numbers.h"
#include "tools/command.h"

namespace {

// "0x" followed by one to sixteen hexadecimal digits.
bool ParseHex(const std::string& arg, unsigned long long& value) {
  if (arg.size() < 3 || arg.size() > 18 || arg[0] != '0' || (arg[1] != 'x' && arg[1] != 'X'))
    return false;
  for (size_t i = 2; i < arg.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(arg[i]))) return false;
  value = std::strtoull(arg.c_str() + 2, nullptr, 16);
  return true;
}

bool IsHexForm(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '0' && (arg[1] == 'x' || arg[1] == 'X');
}

int PrintVersion(long long value, bool withHex) {
  wchar_t text[64];
  VersionToString(text, value);
  std::string bytes;
  CWToolToBytes(text, bytes);  // digits and points convert in every locale
  if (withHex)
    std::printf("0x%016llX %s\n", static_cast<unsigned long long>(value), bytes.c_str());
  else
    std::printf("%s\n", bytes.c_str());
  return CWTOOL_OK;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 1) return CWToolFail(CWTOOL_USAGE, "usage: cwtool version TEXT|0xVALUE");
  const std::string& arg = args[0];
  if (IsHexForm(arg)) {
    unsigned long long value;
    if (!ParseHex(arg, value))
      return CWToolFail(CWTOOL_REJECTED, arg + ": not a hexadecimal value of 1 to 16 digits");
    return PrintVersion(static_cast<long long>(value), false);
  }
  std::vector<wchar_t> wide;
  if (!CWToolToWide(arg, wide))
    return CWToolFail(CWTOOL_REJECTED, arg + ": not valid text in the current locale");
  return PrintVersion(GetVersionFromString(wide.data()), true);
}

int Demo() {
  std::printf("== versions: text -> packed value -> text\n");
  const wchar_t* samples[] = {L"1.2.3.4", L"10..20", L"65536.7.x.9.11"};
  for (const wchar_t* s : samples) {
    long long v = GetVersionFromString(s);
    wchar_t back[64];
    VersionToString(back, v);
    std::string in, out;
    CWToolToBytes(s, in);
    CWToolToBytes(back, out);
    std::printf("%-16s 0x%016llX  %s\n", in.c_str(), static_cast<unsigned long long>(v),
                out.c_str());
  }
  return CWTOOL_OK;
}

CWToolCommand command(
    "version", "TEXT|0xVALUE", "convert a version text to its 64-bit value and back",
    "With TEXT (e.g. 1.2.3.4), prints the packed value in hexadecimal and the\n"
    "normalised text: four decimal parts of 16 bits each, taken from the first\n"
    "four '.'-separated fields (empty fields vanish, numbers wrap modulo 65536,\n"
    "missing parts are 0).\n"
    "With 0xVALUE (1 to 16 hexadecimal digits), prints the version text.\n"
    "Exit codes: 0 done, 1 malformed 0xVALUE or unreadable text, 2 usage error.\n",
    Run, Demo, 60);

}  // namespace
