// Which of the locale encodings the library reproduces is current, and how
// the C library writes one character in each.
#include "cwbase/text/internal/codeset.h"

#include <langinfo.h>

#include <cstdlib>
#include <cstring>

namespace cwbase_internal {

Codeset CurrentCodeset() {
  const char* name = nl_langinfo(CODESET);
  if (!name) return Codeset::kOther;
  const size_t maxBytes = MB_CUR_MAX;
  if (std::strcmp(name, "UTF-8") == 0) return maxBytes == 6 ? Codeset::kUtf8 : Codeset::kOther;
  if (std::strcmp(name, "ANSI_X3.4-1968") == 0)
    return maxBytes == 1 ? Codeset::kAscii : Codeset::kOther;
  return Codeset::kOther;
}

int EncodeMultiByte(Codeset codeset, uint32_t wc, unsigned char* out) {
  if (wc < 0x80) {
    out[0] = static_cast<unsigned char>(wc);
    return 1;
  }
  if (codeset != Codeset::kUtf8) return (wc >> 7) == (0xE0000 >> 7) ? 0 : -1;
  if (wc > 0x7FFFFFFF || (wc & 0xFFFFF800) == 0xD800) return -1;
  // 2 bytes carry 11 bits, 3 carry 16, and each further byte 5 more.
  const int len = wc < 0x800 ? 2 : wc < 0x10000 ? 3 : wc < 0x200000 ? 4 : wc < 0x4000000 ? 5 : 6;
  static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
  for (int k = len - 1; k > 0; --k) {
    out[k] = static_cast<unsigned char>(0x80 | (wc & 0x3F));
    wc >>= 6;
  }
  out[0] = static_cast<unsigned char>(kLead[len] | wc);
  return len;
}

}  // namespace cwbase_internal
