// The texts of the load and save errors and the document's record of the
// last one.
#include "cwbase/xml/xmlerror.h"

#include <cstring>

#include "cwbase/xml/internal/error_text.h"
#include "cwbase/xml/xmlnode.h"

namespace {

const char* ErrorMessage(int code) {
  switch (code) {
    case CWXML_ERROR_NONE:
      return "no error";
    case CWXML_ERROR_NO_ROOT:
      return "no root element";
    case CWXML_ERROR_ENCODING:
      return "text that is not valid in the document's encoding or not allowed in XML";
    case CWXML_ERROR_UNSUPPORTED_ENCODING:
      return "the declared encoding cannot be converted";
    case CWXML_ERROR_SYNTAX:
      return "malformed markup";
    case CWXML_ERROR_MISMATCHED_TAG:
      return "end tag does not match the open element";
    case CWXML_ERROR_UNCLOSED_ELEMENT:
      return "element not closed at the end of the input";
    case CWXML_ERROR_ATTRIBUTE:
      return "malformed or repeated attribute";
    case CWXML_ERROR_OUTSIDE_ROOT:
      return "content outside the root element";
    case CWXML_ERROR_TOO_DEEP:
      return "elements nested too deeply";
    case CWXML_ERROR_OUT_OF_MEMORY:
      return "out of memory";
    case CWXML_ERROR_NOT_READ:
      return "no root element the exact reader can read";
    case CWXML_ERROR_UNDECLARED_ENTITY:
      return "reference to an undeclared entity";
    case CWXML_ERROR_ENTITY:
      return "entity used where XML forbids it";
    case CWXML_ERROR_ENTITY_LIMIT:
      return "entity expansion beyond the limits";
    case CWXML_ERROR_FILE_READ:
      return "the file cannot be read";
    case CWXML_ERROR_FILE_WRITE:
      return "the file cannot be written";
    case CWXML_ERROR_NAME:
      return "a name that is not an XML name";
    case CWXML_ERROR_COMMENT:
      return "a comment holding \"--\" or ending in \"-\"";
    case CWXML_ERROR_PI:
      return "a processing instruction without a valid target or holding \"?>\", or a malformed "
             "XML declaration";
    case CWXML_ERROR_DOCTYPE:
      return "a document type declaration that is not \"<!DOCTYPE\", white space, ... \">\"";
    case CWXML_ERROR_MISPLACED_NODE:
      return "a node of a kind that cannot stand where it is";
    default:
      return "unknown error";
  }
}

}  // namespace

namespace cwbase_internal {

const char* XmlErrorMessage(int code) {
  return ErrorMessage(code);
}

}  // namespace cwbase_internal

void CWXMLDocument::SetLastError(int code, long offset, int line, int column, const char* detail) {
  size_t n = detail ? std::strlen(detail) : 0;
  if (n >= sizeof m_LastError.detail) n = sizeof m_LastError.detail - 1;
  if (n) std::memcpy(m_LastError.detail, detail, n);
  m_LastError.detail[n] = 0;
  m_LastError.code = code;
  m_LastError.offset = offset;
  m_LastError.line = line;
  m_LastError.column = column;
  m_LastError.message = ErrorMessage(code);
}
