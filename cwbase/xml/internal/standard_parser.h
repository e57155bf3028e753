// The standard reader's parser: XML 1.0 markup over decoded wide text,
// building the tree in one pass and cutting the text in place.
//
// Contract
// - `text` holds `units` units and a zero unit after them, and no zero unit
//   before (the decoder guarantees it); the XML declaration at its start,
//   already read from the bytes, is passed over. Its line ends are
//   normalised (a CR in it comes from a reference). It is rewritten in place:
//   names and values end with written zeros, references and line ends are
//   decoded into the text they replace. The tree's strings are borrowed
//   from it (own-flags 0), except these, which are owned: the value of an
//   element whose character data is split by child elements or comes partly
//   from an entity; every name and value cut from an entity's replacement
//   text; an attribute value in which an entity reference was expanded;
//   attributes added from the DTD's defaults.
// - The DOCTYPE is read by XmlDtd (standard_dtd.h); its entities are
//   expanded in content and attribute values, its attribute lists applied.
// - `narrow`, when not null, holds the same text one byte per unit (the
//   input of a single-byte encoding, or UTF-8 made of ASCII only), each byte
//   equal to its unit below 0x80 and at or above 0x80 where the unit is; the
//   parser scans it instead of the wide units ahead of its position.
// - With setup.m_pSteps, `units` is what is decoded so far, and the parser
//   has the decode go on just ahead of it: before each piece of markup or
//   text it makes sure that a "<" follows within the decoded text (with 16
//   units after it), which bounds every construct but comments, processing
//   instructions, CDATA sections and the DOCTYPE; for those it decodes up to
//   their end, for the DOCTYPE to the end of the input. The narrow view is
//   then setup.m_pNarrowText's, read again after each step. A fault of the
//   decode stops the parse with CWXML_ERROR_ENCODING, the steps holding it.
// - `root` must be empty; it becomes the root element.
// - With setup.m_KeepAll (a CWXML_KEEP_ALL load), everything else is kept
//   too (standard_keep.h): comments, processing instructions, CDATA sections
//   and text runs as nodes of the element they stand in, and before and
//   after the root, with the declaration and the DOCTYPE, in
//   setup.m_pProlog and m_pEpilog (which must be empty). An element whose
//   content is character data only keeps it, untrimmed, as its value; one
//   with any child node keeps each run of its character data as a text
//   node, white space included, and has no value. Borrowed as elsewhere,
//   except the DOCTYPE (a copy of the whole declaration), white space
//   outside the root, and what comes from an entity's text (owned).
// - Returns 0, or a CWXML_ERROR_ code with *faultUnit the unit offset where
//   the fault was found and *detail what it names (fault_detail.h), or left
//   empty; the tree is then partial and the caller empties it.
// - Nesting deeper than CWXML_MAX_DEPTH is a fault; no recursion.
// - Allocation: nodes and attributes are cut from a pool of the parse's own
//   (pool.h, node_storage.h), as the exact reader cuts them; the tree
//   releases them as any other (a failure is CWXML_ERROR_OUT_OF_MEMORY).
//   The parser's own stack may throw std::bad_alloc, which the caller
//   catches.
// Threads: re-entrant.
#pragma once

#include <cstddef>
#include <string>

class CWPtArray;
class CWXMLNode;

namespace cwbase_internal {

class XmlUtf8Steps;
struct XmlNarrowText;

// What the reading of the bytes found before the parse.
struct XmlParseSetup {
  bool m_Declaration = false;  // the text starts with an XML declaration, passed over
  // UTF-8 decoded in steps ahead of the parse, and the narrow view it keeps;
  // null when the whole text was decoded before.
  XmlUtf8Steps* m_pSteps = nullptr;
  const XmlNarrowText* m_pNarrowText = nullptr;
  bool m_Standalone = false;  // standalone="yes"
  size_t m_InputBytes = 0;    // the input's size, for the entity expansion limit
  bool m_KeepAll = false;     // CWXML_KEEP_ALL: every node kept (then both lists are set)
  CWPtArray* m_pProlog = nullptr;
  CWPtArray* m_pEpilog = nullptr;
};

int XmlParseStandard(wchar_t* text, size_t units, const unsigned char* narrow,
                     const XmlParseSetup& setup, CWXMLNode* root, size_t* faultUnit,
                     std::string* detail);

}  // namespace cwbase_internal
