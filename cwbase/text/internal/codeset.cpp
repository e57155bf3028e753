// Which of the locale encodings the library reproduces is current, and how
// the C library writes one character in each.
#include "cwbase/text/internal/codeset.h"

#include <langinfo.h>

#include <cstdlib>
#include <cstring>

#include "cwbase/text/internal/utf8_codec.h"

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
  const size_t len = Utf8Length(wc);
  PutUtf8(wc, len, out);
  return static_cast<int>(len);
}

}  // namespace cwbase_internal
