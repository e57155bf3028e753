// Detail texts of the standard reader's faults (see fault_detail.h).
#include "cwbase/xml/internal/fault_detail.h"

#include <cstdint>

#include "cwbase/xml/xmlerror.h"

namespace cwbase_internal {
namespace {

// Appends `name` as UTF-8, cut after CWXML_DETAIL_NAME bytes.
void AppendName(std::string& out, const wchar_t* name, size_t length) {
  const size_t start = out.size();
  for (size_t i = 0; i < length; ++i) {
    const auto c = static_cast<uint32_t>(name[i]);
    char bytes[4];
    size_t n;
    if (c < 0x80) {
      bytes[0] = static_cast<char>(c), n = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (c >> 6)), n = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (c >> 12)), n = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | ((c >> 18) & 0x07)), n = 4;
    }
    for (size_t k = 1; k < n; ++k)
      bytes[k] = static_cast<char>(0x80 | ((c >> (6 * (n - 1 - k))) & 0x3F));
    if (out.size() - start + n > static_cast<size_t>(CWXML_DETAIL_NAME)) {
      out += "...";
      return;
    }
    out.append(bytes, n);
  }
}

}  // namespace

std::string XmlMismatchDetail(const wchar_t* end, size_t endLength, const wchar_t* open,
                              size_t openLength) {
  std::string out = "end tag </";
  AppendName(out, end, endLength);
  out += "> does not match the open element <";
  AppendName(out, open, openLength);
  out += ">";
  return out;
}

std::string XmlRepeatedDetail(const wchar_t* name, size_t length) {
  std::string out = "attribute ";
  AppendName(out, name, length);
  out += " repeated";
  return out;
}

}  // namespace cwbase_internal
