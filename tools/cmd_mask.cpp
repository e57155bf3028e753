// cwtool mask: lays a text into a picture mask.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/text/strhelp.h"
#include "tools/command.h"

namespace {

// The masked text; room for the longer of mask and text (an empty mask
// copies the text) and a terminator.
std::vector<wchar_t> Masked(const wchar_t* mask, const wchar_t* text, unsigned long mode) {
  size_t capacity = std::max(std::wcslen(mask), std::wcslen(text)) + 1;
  std::vector<wchar_t> out(capacity, 0);
  MaskText(out.data(), capacity, text, mask, mode);
  return out;
}

int Run(const std::vector<std::string>& args) {
  const char* usage = "usage: cwtool mask MASK TEXT [MODE]";
  if (args.size() < 2 || args.size() > 3) return CWToolFail(CWTOOL_USAGE, usage);
  unsigned long mode = 0;
  if (args.size() == 3) {
    const std::string& m = args[2];
    if (m.empty() || m.size() > 9 || m.find_first_not_of("0123456789") != std::string::npos)
      return CWToolFail(CWTOOL_USAGE, "mode '" + m + "' is not a number; " + usage);
    mode = std::strtoul(m.c_str(), nullptr, 10);
  }
  std::vector<wchar_t> mask, text;
  if (!CWToolToWide(args[0], mask))
    return CWToolFail(CWTOOL_REJECTED, args[0] + ": not valid text in the current locale");
  if (!CWToolToWide(args[1], text))
    return CWToolFail(CWTOOL_REJECTED, args[1] + ": not valid text in the current locale");
  std::string out;
  if (!CWToolToBytes(Masked(mask.data(), text.data(), mode).data(), out))
    return CWToolFail(CWTOOL_REJECTED, args[1] + ": result cannot be shown in the current locale");
  std::printf("%s\n", out.c_str());
  return CWTOOL_OK;
}

int Demo() {
  std::printf("== picture masks\n");
  struct Sample {
    const wchar_t* mask;
    const wchar_t* text;
    unsigned long mode;
  } samples[] = {
      {L"(###) ###-####", L"1234567890", 0},
      {L"(###) ###-####", L"12345", 0},
      {L"#,###,###.##", L"1234567.891", 1},
      {L"#,###", L"-1234", 1},
  };
  for (const Sample& s : samples) {
    std::string mask, text, out;
    CWToolToBytes(s.mask, mask);
    CWToolToBytes(s.text, text);
    CWToolToBytes(Masked(s.mask, s.text, s.mode).data(), out);
    std::printf("mode %lu  %-16s %-14s -> %s\n", s.mode, mask.c_str(), text.c_str(), out.c_str());
  }
  return CWTOOL_OK;
}

CWToolCommand command(
    "mask", "MASK TEXT [MODE]", "lay a text into a picture mask",
    "Prints TEXT laid into MASK, in which '#' takes one character of the text and\n"
    "every other character is a literal.\n"
    "  MODE 0 (default) or 3: fill from the left; a literal the text already holds\n"
    "         is not doubled, and the result stops where the text runs out.\n"
    "  MODE 1: align on the decimal point; the integer part is filled from the\n"
    "         right, the fraction is taken from the text and cut at the mask.\n"
    "  Other modes print an empty line. An empty MASK prints TEXT as it is.\n"
    "Example: cwtool mask '(###) ###-####' 1234567890  ->  (123) 456-7890\n"
    "Exit codes: 0 done, 1 text not valid in the current locale, 2 usage error.\n",
    Run, Demo, 61);

}  // namespace
