// The XML declaration at the start of a standard XML document, read once
// from the raw bytes, before decoding: it names the encoding the rest is
// decoded in, and the parser then passes over its characters.
//
// Contract
// - XmlReadDeclaration reads code units of `width` bytes (1, 2 or 4, in the
//   given byte order) from `data`. A declaration is present when the text
//   starts with "<?xml" and no name character follows; it must then match
//   '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>' of XML 1.0: version
//   first, encoding second, standalone last, white space around "=",
//   VersionNum "1." and digits, EncName [A-Za-z]([A-Za-z0-9._]|'-')*,
//   standalone "yes" or "no", either quote. Every character of a
//   declaration is ASCII, so its length in characters is its length in
//   units in every encoding the reader decodes.
// - The result says whether one is present, how many characters it spans,
//   the declared encoding ("" when none), standalone (-1 when not declared),
//   and for a malformed one CWXML_ERROR_SYNTAX with the character where the
//   fault was found.
// Threads: re-entrant; reads nothing but its arguments.
#pragma once

#include <cstddef>

namespace cwbase_internal {

struct XmlDeclaration {
  bool m_Present = false;
  size_t m_Units = 0;         // characters of the declaration, "<?xml" to "?>"
  char m_Encoding[48] = {};   // the declared encoding name, "" when none
  int m_Standalone = -1;      // 1 yes, 0 no, -1 not declared
  int m_Code = 0;             // 0, or CWXML_ERROR_SYNTAX for a malformed declaration
  size_t m_FaultUnit = 0;     // the character where the fault was found
  size_t m_EncodingUnit = 0;  // where the encoding name starts
};

XmlDeclaration XmlReadDeclaration(const unsigned char* data, size_t length, unsigned width,
                                  bool bigEndian);

// Line and column (from 1) of character `unit` of a declaration read by
// XmlReadDeclaration from the same units (CR LF, CR and LF end a line).
void XmlDeclarationPosition(const unsigned char* data, unsigned width, bool bigEndian, size_t unit,
                            int* line, int* column);

}  // namespace cwbase_internal
