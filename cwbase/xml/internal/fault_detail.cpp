// Detail texts of the standard reader's faults (see fault_detail.h).
#include "cwbase/xml/internal/fault_detail.h"

#include <cstdint>

#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/xml/xmlerror.h"

namespace cwbase_internal {
namespace {

// Appends `name` as UTF-8, cut after CWXML_DETAIL_NAME bytes. Names come
// from the parsed text, so every unit is a character XML allows.
void AppendName(std::string& out, const wchar_t* name, size_t length) {
  const size_t start = out.size();
  for (size_t i = 0; i < length; ++i) {
    unsigned char bytes[kMaxUtf8Unit];
    const size_t n = EncodeUtf8Unit(static_cast<int32_t>(name[i]), bytes);
    if (out.size() - start + n > static_cast<size_t>(CWXML_DETAIL_NAME)) {
      out += "...";
      return;
    }
    out.append(reinterpret_cast<const char*>(bytes), n);
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
