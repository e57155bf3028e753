/// @file
/// Options of the standard XML mode: what CWXMLDocument::LoadXML keeps and
/// how SaveXML lays out what it writes.
///
/// Contract
/// - Load options are bits, combined with `|`; 0 is the default load.
/// - CWXMLSaveOptions is a plain record, cheap to copy; a default-constructed
///   one gives the default layout.
/// Threads: constants and a plain record.
#pragma once

/// LoadXML: keep comments, processing instructions, the document type
/// declaration, CDATA sections and every run of character data (white space
/// included), in document order, so that SaveXML writes the document back.
constexpr unsigned long CWXML_KEEP_ALL = 0x1;

/// SaveXML indent: one tab per level.
constexpr int CWXML_INDENT_TABS = -1;
/// SaveXML indent: no layout at all (no line ends or indentation added).
constexpr int CWXML_INDENT_NONE = 0;

/// How SaveXML lays out the XML it writes.
struct CWXMLSaveOptions {
  /// CWXML_INDENT_TABS, CWXML_INDENT_NONE, or a number of spaces per level.
  int indent = CWXML_INDENT_TABS;
  /// Line ends: LF (false) or CR LF (true).
  bool crlf = false;
  /// Whether a document writes the XML declaration before its root (a
  /// document read with CWXML_KEEP_ALL writes only the one it was read with).
  bool declaration = true;
};
