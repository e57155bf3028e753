// Bounded wide formatting shared by the subsystems (see wide_format.h).
#include "cwbase/core/internal/wide_format.h"

#include <cwchar>

namespace cwbase_internal {

void FormatWideV(wchar_t* dest, const wchar_t* format, va_list args) {
  const int n = std::vswprintf(dest, kWideFormatLimit, format, args);
  if (n < 0) dest[0] = 0;  // overlong output or a formatting error: empty text
}

void FormatWide(wchar_t* dest, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): started just above
  FormatWideV(dest, format, args);
  va_end(args);
}

}  // namespace cwbase_internal
