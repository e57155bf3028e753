// cwtool mask: lays a text into a picture mask.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/text/strhelp.h"
#include "tools/command.h"

namespace {

// The locale's multibyte form of a wide text; false when it has none.
bool ToBytes(const wchar_t* text, std::string& out) {
  size_t n = std::wcstombs(nullptr, text, 0);
  if (n == static_cast<size_t>(-1)) return false;
  out.assign(n + 1, '\0');
  std::wcstombs(&out[0], text, n + 1);
  out.resize(n);
  return true;
}

bool ToWide(const std::string& text, std::vector<wchar_t>& out) {
  int n = MultiByteToWideChar(0, 0, text.c_str(), -1, nullptr, 0);
  if (n < 0) return false;
  out.assign(static_cast<size_t>(n) + 1, 0);
  return MultiByteToWideChar(0, 0, text.c_str(), -1, out.data(), n + 1) == n;
}

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
  std::setlocale(LC_ALL, "");
  std::vector<wchar_t> mask, text;
  if (!ToWide(args[0], mask))
    return CWToolFail(CWTOOL_REJECTED, args[0] + ": not valid text in the current locale");
  if (!ToWide(args[1], text))
    return CWToolFail(CWTOOL_REJECTED, args[1] + ": not valid text in the current locale");
  std::string out;
  if (!ToBytes(Masked(mask.data(), text.data(), mode).data(), out))
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
    ToBytes(s.mask, mask);
    ToBytes(s.text, text);
    ToBytes(Masked(s.mask, s.text, s.mode).data(), out);
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
