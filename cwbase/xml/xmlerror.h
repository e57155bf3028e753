/// @file
/// CWXMLError: what the last load or SaveXML of a CWXMLDocument found wrong
/// (or what one SaveXML of a node found, handed to the caller), and the
/// codes it may hold.
///
/// Contract
/// - `code` is 0 after a success and one of the CWXML_ERROR_ codes below
///   after a failure. `message` is a static English text for the code, for
///   the file errors for the code and the system's reason (never null, never
///   to be released).
/// - Load: `offset` is where the fault was found, in bytes from the start of
///   the data given (a byte-order mark included); `line` and `column` count
///   from 1, the column in characters after the last line end (CR LF, CR or
///   LF).
/// - SaveXML: the same three tell where the offending piece would have
///   stood in the output of that call (the bytes it appends, counted from
///   the first): the start of the tag, name, node or attribute list, or the
///   character itself. For a tree read with CWXML_KEEP_ALL and written with
///   the line ends it was read with, that is its place in the input.
/// - All three are 0 when the fault has no position (no data, out of
///   memory), for the file errors, and after a success.
/// - `detail` is the message with the names of what the fault is about, as
///   zero-terminated UTF-8 in the record itself, to be shown in place of
///   `message` when it is not empty; "" when the code says it all: for
///   CWXML_ERROR_MISMATCHED_TAG "end tag </b> does not match the open
///   element <a>", for a repeated attribute "attribute x repeated" (the
///   position is then the second occurrence's name). A name longer than
///   CWXML_DETAIL_NAME bytes is cut at a character boundary and ends in
///   "...". Being a fixed array, the record stays a plain value: copying it
///   copies the detail, which lives as long as the copy, and no storage of
///   the document is borrowed.
/// Threads: a plain record; it belongs to its document or its caller.
#pragma once

/// Bytes of CWXMLError::detail, its terminator included.
constexpr int CWXML_DETAIL_SIZE = 160;
/// Bytes of one name quoted in a detail, at most (longer ones are cut).
constexpr int CWXML_DETAIL_NAME = 48;

/// The position and kind of the fault a load found (see the file comment).
struct CWXMLError {
  int code;                        ///< 0, or a CWXML_ERROR_ code.
  long offset;                     ///< Bytes from the start of the data.
  int line;                        ///< Line, from 1; 0 when there is no position.
  int column;                      ///< Column in characters, from 1; 0 when there is no position.
  const char* message;             ///< Static English text for `code`.
  char detail[CWXML_DETAIL_SIZE];  ///< What the fault names (UTF-8), or "".
};

/// No error: the last load succeeded.
constexpr int CWXML_ERROR_NONE = 0;
/// Null data, a length of 0 or below, or no element in the text.
constexpr int CWXML_ERROR_NO_ROOT = 1;
/// The bytes are not text in the document's encoding, or hold a character
/// that XML does not allow.
constexpr int CWXML_ERROR_ENCODING = 2;
/// The declared encoding cannot be converted.
constexpr int CWXML_ERROR_UNSUPPORTED_ENCODING = 3;
/// Markup that is not well-formed (a tag, comment, declaration or reference).
constexpr int CWXML_ERROR_SYNTAX = 4;
/// An end tag whose name is not the open element's.
constexpr int CWXML_ERROR_MISMATCHED_TAG = 5;
/// The input ends while an element is still open.
constexpr int CWXML_ERROR_UNCLOSED_ELEMENT = 6;
/// An attribute without "=" and a quoted value, a "<" inside a value, or an
/// attribute written twice on one element.
constexpr int CWXML_ERROR_ATTRIBUTE = 7;
/// A second root element, or text outside the root element.
constexpr int CWXML_ERROR_OUTSIDE_ROOT = 8;
/// Elements nested deeper than CWXML_MAX_DEPTH.
constexpr int CWXML_ERROR_TOO_DEEP = 9;
/// Memory for the text or the tree could not be allocated.
constexpr int CWXML_ERROR_OUT_OF_MEMORY = 10;
/// The exact reader found no root element it could read.
constexpr int CWXML_ERROR_NOT_READ = 11;
/// A reference to an entity that is not declared, where XML makes that a
/// fatal error: no DTD, an internal subset without parameter-entity
/// references, or standalone="yes".
constexpr int CWXML_ERROR_UNDECLARED_ENTITY = 12;
/// An entity used where XML forbids it: a reference to itself (directly or
/// through others), to an unparsed entity, to an external entity in an
/// attribute value, a "<" brought into an attribute value, a predefined
/// entity redeclared otherwise than XML allows.
constexpr int CWXML_ERROR_ENTITY = 13;
/// Entity references nested deeper than CWXML_MAX_ENTITY_DEPTH, or more
/// text produced by entities than the expansion limit allows (xmlnode.h).
constexpr int CWXML_ERROR_ENTITY_LIMIT = 14;
/// LoadXMLFile: the file cannot be opened or read (missing, a directory,
/// no permission, ...); the message says which.
constexpr int CWXML_ERROR_FILE_READ = 15;
/// SaveXMLFile: the file cannot be written or replaced (no permission, disk
/// full, ...); the message says which. The file is left as it was. A tree
/// that SaveXML refuses gives the writer's own code instead.
constexpr int CWXML_ERROR_FILE_WRITE = 16;
/// SaveXML: an element, attribute or processing instruction target whose
/// name is not an XML name.
constexpr int CWXML_ERROR_NAME = 17;
/// SaveXML: a comment that holds "--" or ends in "-".
constexpr int CWXML_ERROR_COMMENT = 18;
/// SaveXML: a processing instruction whose target is not a name or is "xml"
/// in any case (other than the kept declaration), or that holds "?>"; or a
/// kept XML declaration that does not follow its grammar.
constexpr int CWXML_ERROR_PI = 19;
/// SaveXML: a document type declaration that does not begin with
/// "<!DOCTYPE" and white space or does not end with ">".
constexpr int CWXML_ERROR_DOCTYPE = 20;
/// SaveXML: a node of a kind that cannot stand where it is: a document type
/// declaration inside an element, after the root or twice; an element,
/// CDATA section or text other than white space before or after the root;
/// an unknown kind.
constexpr int CWXML_ERROR_MISPLACED_NODE = 21;
