// CWXMLDocument::LoadXML: the standard reader. The XML declaration is read
// from the bytes to choose the encoding (internal/declaration.h), the bytes
// are decoded into the document's buffer with their line ends normalised
// (internal/decode.h), then parsed there in place, the parser scanning the
// narrow view of the text where there is one (internal/standard_parser.h).
// A fault empties the tree; its line and column are counted in the input's
// bytes up to the fault, since the parse has rewritten the text before it.
// Every load, of either mode, first releases the prolog and epilog lists a
// lossless load filled (their strings point into the buffer it replaces).
#include <climits>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cwbase/xml/internal/decode.h"
#include "cwbase/xml/internal/standard_keep.h"
#include "cwbase/xml/internal/standard_parser.h"
#include "cwbase/xml/internal/tree.h"
#include "cwbase/xml/xmlnode.h"

int CWXMLDocument::LoadXML(const unsigned char* data, long length) {
  return LoadXML(data, length, 0);
}

int CWXMLDocument::LoadXML(const unsigned char* data, long length, unsigned long options) {
  m_bKeptLayout = false;
  CleanUp();
  cwbase_internal::XmlDestroyNodes(m_Prolog);
  cwbase_internal::XmlDestroyNodes(m_Epilog);
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
  const cwbase_internal::XmlSource source =
      cwbase_internal::XmlDetectEncoding(inside ? copy.data() : data, size);
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
  // A fault of the decode, placed in the input's bytes.
  auto decodeFault = [&](const cwbase_internal::XmlDecodeFault& f) {
    int faultLine = 0, faultColumn = 0;
    if (f.m_Code != CWXML_ERROR_UNSUPPORTED_ENCODING)
      cwbase_internal::XmlPosition(source, f.m_Byte, &faultLine, &faultColumn);
    SetLastError(f.m_Code, static_cast<long>(f.m_Byte), faultLine, faultColumn);
    return -1;
  };
  cwbase_internal::XmlNarrowText narrow;
  int line = 0, column = 0;
  if (source.m_Code) {  // a malformed declaration or a contradicting encoding
    SetLastError(source.m_Code, static_cast<long>(source.m_FaultByte), source.m_FaultLine,
                 source.m_FaultColumn);
    return -1;
  }
  // UTF-8 is decoded in steps just ahead of the parse, every other encoding
  // whole before it.
  std::optional<cwbase_internal::XmlUtf8Steps> steps;
  if (source.m_Encoding == cwbase_internal::XmlEncoding::kUtf8) {
    steps.emplace(source, text, &narrow);
  } else if (!cwbase_internal::XmlDecode(source, text, &units, &fault, &narrow)) {
    return decodeFault(fault);
  }

  size_t unit = 0;
  int rc;
  cwbase_internal::XmlParseSetup setup;
  if (steps) {
    setup.m_pSteps = &*steps;
    setup.m_pNarrowText = &narrow;
  }
  setup.m_Declaration = source.m_DeclarationUnits > 0;
  setup.m_Standalone = source.m_Standalone == 1;
  setup.m_InputBytes = size;
  if (options & CWXML_KEEP_ALL) {
    setup.m_KeepAll = true;
    setup.m_pProlog = &m_Prolog;
    setup.m_pEpilog = &m_Epilog;
  }
  std::string detail;
  try {
    rc = cwbase_internal::XmlParseStandard(text, units, narrow.m_pBytes, setup, this, &unit,
                                           &detail);
  } catch (const std::bad_alloc&) {
    rc = CWXML_ERROR_OUT_OF_MEMORY;
  }
  if (rc == 0) {
    m_bKeptLayout = (options & CWXML_KEEP_ALL) != 0;
    SetLastError(CWXML_ERROR_NONE, 0, 0, 0);
    return 0;
  }
  CleanUp();
  cwbase_internal::XmlDestroyNodes(m_Prolog);
  cwbase_internal::XmlDestroyNodes(m_Epilog);
  // A fault in the encoding comes first wherever it is, as when the input is
  // decoded whole before the parse: the decode goes on to the end.
  if (steps && rc != CWXML_ERROR_OUT_OF_MEMORY) {
    while (!steps->Done() && steps->Step(size)) {
    }
    if (steps->Fault().m_Code) return decodeFault(steps->Fault());
  }
  long offset = 0;
  if (rc != CWXML_ERROR_OUT_OF_MEMORY) {
    const size_t byte = cwbase_internal::XmlByteOffset(source, unit);
    offset = static_cast<long>(byte);
    cwbase_internal::XmlPosition(source, byte, &line, &column);
  }
  SetLastError(rc, offset, line, column, detail.c_str());
  return -1;
}
