// CWXMLDocument::LoadXML: the standard reader. The XML declaration is read
// from the bytes to choose the encoding (internal/declaration.h), the bytes
// are decoded into the document's buffer (internal/decode.h), then parsed
// there in place (internal/standard_parser.h). A fault empties the tree; its position is
// then found again from the input: the parse has rewritten the text before
// it, so the text is decoded once more to count lines and columns.
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "cwbase/xml/internal/decode.h"
#include "cwbase/xml/internal/standard_parser.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::XmlSource;

// Line and column (from 1) of unit `unit` of `text`; CR LF is one line end.
void LineAndColumn(const wchar_t* text, size_t unit, int* line, int* column) {
  long l = 1, c = 1;
  for (size_t i = 0; i < unit; ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < unit && text[i + 1] == '\n') ++i;
      ++l, c = 1;
    } else {
      ++c;
    }
  }
  *line = static_cast<int>(l < INT_MAX ? l : INT_MAX);
  *column = static_cast<int>(c < INT_MAX ? c : INT_MAX);
}

}  // namespace

int CWXMLDocument::LoadXML(const unsigned char* data, long length) {
  CleanUp();
  if (!data || length <= 0) {
    SetLastError(CWXML_ERROR_NO_ROOT, 0, 0, 0);
    return -1;
  }
  const size_t size = static_cast<size_t>(length);
  // Bytes inside the buffer about to be rewritten are read from a copy.
  std::vector<unsigned char> copy;
  const auto* storage = static_cast<const unsigned char*>(m_Buffer.GetBuffer());
  const bool inside = storage && data < storage + m_Buffer.GetCapacity() && data + size > storage;
  try {
    if (inside) copy.assign(data, data + size);
  } catch (const std::bad_alloc&) {
    SetLastError(CWXML_ERROR_OUT_OF_MEMORY, 0, 0, 0);
    return -1;
  }
  const XmlSource source = cwbase_internal::XmlDetectEncoding(inside ? copy.data() : data, size);
  const size_t room = cwbase_internal::XmlDecodeRoom(source);
  wchar_t* text = nullptr;
  try {
    if (room <= ULONG_MAX / sizeof(wchar_t))
      text = static_cast<wchar_t*>(m_Buffer.SetSize(room * sizeof(wchar_t)));
  } catch (const std::bad_alloc&) {
    text = nullptr;
  }
  if (!text) {
    SetLastError(CWXML_ERROR_OUT_OF_MEMORY, 0, 0, 0);
    return -1;
  }

  size_t units = 0;
  cwbase_internal::XmlDecodeFault fault;
  int line = 0, column = 0;
  if (source.m_Code) {  // a malformed declaration or a contradicting encoding
    SetLastError(source.m_Code, static_cast<long>(source.m_FaultByte), source.m_FaultLine,
                 source.m_FaultColumn);
    return -1;
  }
  if (!cwbase_internal::XmlDecode(source, text, &units, &fault)) {
    if (fault.m_Code != CWXML_ERROR_UNSUPPORTED_ENCODING)
      LineAndColumn(text, fault.m_Unit, &line, &column);
    SetLastError(fault.m_Code, static_cast<long>(fault.m_Byte), line, column);
    return -1;
  }

  // Text of one byte per character can be scanned in its bytes.
  using cwbase_internal::XmlEncoding;
  const bool single =
      source.m_Encoding == XmlEncoding::kUtf8 || source.m_Encoding == XmlEncoding::kLatin1 ||
      source.m_Encoding == XmlEncoding::kAscii || source.m_Encoding == XmlEncoding::kWindows1252;
  const unsigned char* narrow =
      single && units == size - source.m_Start ? source.m_pData + source.m_Start : nullptr;
  size_t unit = 0;
  int rc;
  cwbase_internal::XmlParseSetup setup;
  setup.m_DeclarationUnits = source.m_DeclarationUnits;
  setup.m_Standalone = source.m_Standalone == 1;
  setup.m_InputBytes = size;
  try {
    rc = cwbase_internal::XmlParseStandard(text, units, narrow, setup, this, &unit);
  } catch (const std::bad_alloc&) {
    rc = CWXML_ERROR_OUT_OF_MEMORY;
  }
  if (rc == 0) {
    SetLastError(CWXML_ERROR_NONE, 0, 0, 0);
    return 0;
  }
  CleanUp();
  long offset = 0;
  if (rc != CWXML_ERROR_OUT_OF_MEMORY) {
    offset = static_cast<long>(cwbase_internal::XmlByteOffset(source, unit));
    // The text up to the fault as it was before the parse rewrote it.
    try {
      std::vector<wchar_t> again(room, L'\0');
      if (cwbase_internal::XmlDecode(source, again.data(), &units, &fault))
        LineAndColumn(again.data(), unit, &line, &column);
    } catch (const std::bad_alloc&) {
      line = column = 0;  // the position in bytes is known all the same
    }
  }
  SetLastError(rc, offset, line, column);
  return -1;
}
