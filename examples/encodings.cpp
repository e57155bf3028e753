// Converting text between UTF-8, the locale's encoding and wide strings with
// cwbase.
//
//   encodings [FILE]
//
// FILE holds UTF-8 text; without it a built-in line is used. wchar_t is a
// 32-bit unit here, and the library's wide strings end with a zero unit.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <cwbase/core/block.h>
#include <cwbase/platform/filecontent.h>
#include <cwbase/text/encoding.h>

int main(int argc, char** argv) {
  // The Windows-style pair converts in the process's locale, which the
  // library never sets. Use the user's, or UTF-8 when the process has none.
  const char* locale = std::setlocale(LC_ALL, "");
  if (!locale || !std::strcmp(locale, "C") || !std::strcmp(locale, "POSIX"))
    locale = std::setlocale(LC_ALL, "C.UTF-8");
  std::printf("locale:              %s\n", locale ? locale : "C");

  std::string utf8 =
      "Gr\xC3\xBC\xC3\x9F"
      "e, 5 \xE2\x82\xAC \xF0\x9F\x98\x80";  // Grüße, 5 € 😀
  if (argc > 1) {
    CWBlock block;
    errno = 0;  // an empty file answers the current errno: let it be 0
    int rc = ReadFileContent(argv[1], block);
    if (rc != 0) {
      std::fprintf(stderr, "encodings: %s: %s\n", argv[1],
                   rc > 0 ? std::strerror(rc) : "cannot be read");
      return 1;
    }
    utf8.clear();  // an empty file leaves the block without storage
    if (block.GetSize() > 0) utf8.assign(static_cast<char*>(block.GetBuffer()), block.GetSize());
  }
  int bytes = static_cast<int>(utf8.size());

  // 1. UTF-8 -> wide, counted: one unit per byte is always enough. No
  //    terminator is written, so start from a cleared buffer (or add it).
  //    Malformed bytes become '?'; this never fails.
  std::vector<wchar_t> wide(utf8.size() + 1, 0);
  int units = Utf8toWStr(wide.data(), static_cast<int>(wide.size()), &utf8[0], bytes);
  wide[static_cast<size_t>(units)] = 0;
  std::printf("Utf8toWStr:          %d bytes -> %d characters\n", bytes, units);

  // 2. Wide -> UTF-8, counted: four bytes per unit are always enough. Again no
  //    terminator.
  std::vector<char> back(static_cast<size_t>(units) * 4 + 1, 0);
  int written = WstrtoUtf8(back.data(), static_cast<int>(back.size()), wide.data(), units);
  std::printf("WstrtoUtf8:          %d bytes, %s\n", written,
              std::string(back.data(), static_cast<size_t>(written)) == utf8 ? "same as the input"
                                                                             : "differs");

  // 3. Whole-string converters: they allocate with malloc, the caller frees.
  //    They handle characters up to U+FFFF only: make_utf8_string keeps the
  //    low 16 bits of each unit, so emoji and other characters beyond U+FFFF
  //    do not survive.
  unsigned char* made = make_utf8_string(wide.data());
  if (made) {
    std::printf("make_utf8_string:    %s\n", utf8 == reinterpret_cast<char*>(made)
                                                 ? "same as the input"
                                                 : "differs (characters beyond U+FFFF?)");
    std::free(made);
  }
  wchar_t* madeWide = make_unicode_string(reinterpret_cast<const unsigned char*>(utf8.c_str()));
  if (madeWide) {
    bool same = std::wcslen(madeWide) == static_cast<size_t>(units) &&
                std::wmemcmp(madeWide, wide.data(), static_cast<size_t>(units)) == 0;
    std::printf("make_unicode_string: %s\n",
                same ? "same as Utf8toWStr" : "differs (characters beyond U+FFFF?)");
    std::free(madeWide);
  }

  // 4. The locale's encoding. Ask for the size first (null destination), then
  //    give room for it plus the terminator. Both read up to the first zero.
  int need = MultiByteToWideChar(0, 0, utf8.c_str(), -1, nullptr, 0);
  if (need < 0) {
    std::printf("MultiByteToWideChar: -1, the text is not valid in this locale\n");
    return 0;
  }
  std::vector<wchar_t> local(static_cast<size_t>(need) + 1, 0);
  MultiByteToWideChar(0, 0, utf8.c_str(), -1, local.data(), need + 1);
  std::printf("MultiByteToWideChar: %d characters: %ls\n", need, local.data());

  // 5. WideCharToMultiByte writes at most (characters + 1) bytes, whatever the
  //    destination size: text with characters of several bytes is cut after
  //    the last whole character that fits, and then has no terminator. Clear
  //    the buffer first. For the full text use WstrtoUtf8 (UTF-8) or wcstombs.
  int full = WideCharToMultiByte(0, 0, local.data(), -1, nullptr, 0, nullptr, nullptr);
  std::vector<char> narrow(static_cast<size_t>(full < 0 ? 0 : full) + 1, 0);
  int got = WideCharToMultiByte(0, 0, local.data(), -1, narrow.data(),
                                static_cast<int>(narrow.size()), nullptr, nullptr);
  std::printf("WideCharToMultiByte: needs %d bytes, wrote %d: %s%s\n", full, got, narrow.data(),
              got < full ? "  (cut)" : "");
  return 0;
}
