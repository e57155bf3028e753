// cwtool encode: reads a UTF-8 file into a block and walks it through the
// encoding converters, reporting counts and round trips.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cwbase/core/block.h"
#include "cwbase/platform/filecontent.h"
#include "cwbase/text/encoding.h"
#include "tools/command.h"

namespace {

const char* Same(bool equal) {
  return equal ? "equal" : "DIFFERENT";
}

bool SameUnits(const wchar_t* a, const std::vector<wchar_t>& b, int count) {
  return count >= 0 && static_cast<size_t>(count) <= b.size() &&
         std::wmemcmp(a, b.data(), static_cast<size_t>(count)) == 0;
}

// The locale-dependent pair, run under C.UTF-8 and the caller's locale
// restored afterwards.
void LocaleRoundTrip(const std::string& text, const std::vector<wchar_t>& wide, int units) {
  CWToolLocaleScope utf8("C.UTF-8");
  if (!utf8.IsSwitched()) {
    std::printf("%-22s C.UTF-8 locale not available: skipped\n", "MultiByteToWideChar");
    return;
  }
  int need = MultiByteToWideChar(0, 0, text.c_str(), -1, nullptr, 0);
  if (need < 0) {
    std::printf("%-22s not valid UTF-8 under C.UTF-8\n", "MultiByteToWideChar");
  } else {
    std::vector<wchar_t> back(text.size() + 1, 0);
    int got =
        MultiByteToWideChar(0, 0, text.c_str(), -1, back.data(), static_cast<int>(back.size()));
    std::printf("%-22s %d characters under C.UTF-8, %s to Utf8toWStr\n", "MultiByteToWideChar", got,
                Same(got == units && SameUnits(back.data(), wide, got)));
    int bytes = WideCharToMultiByte(0, 0, back.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> multi(static_cast<size_t>(bytes < 0 ? 0 : bytes) + 1, 0);
    int wrote = WideCharToMultiByte(0, 0, back.data(), -1, multi.data(),
                                    static_cast<int>(multi.size()), nullptr, nullptr);
    std::printf("%-22s needs %d bytes, wrote %d", "WideCharToMultiByte", bytes, wrote);
    if (wrote == bytes && text.compare(0, std::string::npos, multi.data()) == 0)
      std::printf(", round trip equal\n");
    else
      std::printf(": at most one byte per character + 1, cut after a whole character\n");
  }
}

void Report(const std::string& name, CWBlock& block) {
  const char* data = static_cast<const char*>(block.GetBuffer());
  std::string text(data ? data : "", block.GetSize());
  std::printf("%-22s %lu bytes from %s\n", "ReadFileContent", block.GetSize(), name.c_str());

  std::vector<wchar_t> wide(text.size() + 1, 0);
  int units = Utf8toWStr(wide.data(), static_cast<int>(wide.size()), &text[0],
                         static_cast<int>(text.size()));
  int lines = 0, beyondAscii = 0;
  for (int i = 0; i < units; ++i) {
    if (wide[i] == L'\n') ++lines;
    if (wide[i] > 0x7F) ++beyondAscii;
  }
  std::printf("%-22s %d characters, %d beyond ASCII, %d lines\n", "Utf8toWStr", units, beyondAscii,
              lines);

  wchar_t* made = make_unicode_string(reinterpret_cast<const unsigned char*>(text.c_str()));
  bool madeSame =
      made && std::wcslen(made) == static_cast<size_t>(units) && SameUnits(made, wide, units);
  std::printf("%-22s %s to Utf8toWStr\n", "make_unicode_string",
              made ? Same(madeSame) : "no memory");
  std::free(made);

  std::vector<char> utf8(static_cast<size_t>(units) * 4 + 1, 0);
  int bytes = WstrtoUtf8(utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  bool backSame = static_cast<size_t>(bytes) == text.size() &&
                  std::memcmp(utf8.data(), text.data(), text.size()) == 0;
  std::printf("%-22s %d bytes, round trip %s\n", "WstrtoUtf8", bytes, Same(backSame));

  unsigned char* made8 = make_utf8_string(wide.data());
  bool made8Same = made8 && text == reinterpret_cast<const char*>(made8);
  std::printf("%-22s %s to the file's bytes\n", "make_utf8_string",
              made8 ? Same(made8Same) : "no memory");
  std::free(made8);

  LocaleRoundTrip(text, wide, units);
}

// Reads FILE (or standard input for "-") into `block`; false after a message.
bool Load(const std::string& path, CWBlock& block) {
  if (path == "-") {
    std::string in;
    if (!CWToolReadInput(path, in)) return false;
    if (!in.empty()) block.SetBuffer(&in[0], in.size());
    return true;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    CWToolFail(CWTOOL_REJECTED, path + ": is a directory");
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    CWToolFail(CWTOOL_REJECTED, path + ": " + std::strerror(errno));
    return false;
  }
  unsigned int size = GetFileSize(file);
  std::fclose(file);
  if (size == 0) return true;  // an empty file leaves the block empty
  int result = ReadFileContent(path.c_str(), block);
  if (result != 0) {
    CWToolFail(CWTOOL_REJECTED,
               path + ": " + (result > 0 ? std::strerror(result) : "cannot be read"));
    return false;
  }
  return true;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 1) return CWToolFail(CWTOOL_USAGE, "usage: cwtool encode FILE");
  CWBlock block;
  if (!Load(args[0], block)) return CWTOOL_REJECTED;
  Report(args[0], block);
  return CWTOOL_OK;
}

int Demo() {
  std::printf("== encodings: samples/greeting.txt through the converters\n");
  std::string path = CWToolSamplePath("greeting.txt");
  CWBlock block;
  if (!Load(path, block)) return CWTOOL_REJECTED;
  Report("greeting.txt", block);
  return CWTOOL_OK;
}

CWToolCommand command(
    "encode", "FILE", "walk a UTF-8 file through the encoding converters",
    "Reads FILE into a block with ReadFileContent and reports: its bytes; the\n"
    "characters Utf8toWStr finds (and how many lie beyond ASCII); whether\n"
    "make_unicode_string agrees; whether WstrtoUtf8 and make_utf8_string give the\n"
    "bytes back; and, under the C.UTF-8 locale (restored afterwards), what\n"
    "MultiByteToWideChar and WideCharToMultiByte make of it. WideCharToMultiByte\n"
    "writes at most one byte per character plus one, so text beyond ASCII is cut.\n"
    "Exit codes: 0 done, 1 FILE cannot be read, 2 usage error.\n",
    Run, Demo, 10);

}  // namespace
