/// @file
/// In-memory XML tree: CWXMLProp (one attribute), CWXMLNode (one element) and
/// CWXMLDocument (the root element plus the text buffer the reader cut it from).
///
/// Contract
/// - Strings are zero-terminated wide strings. Each string field is either
///   borrowed (points into the document's m_Buffer, own-flag 0) or owned (an
///   array new[] copy released with delete[], own-flag 1). The reader stores
///   borrowed strings; every setter and operator= store owned copies.
///   Borrowed strings live until the next load into the document or its
///   destruction. No operation that releases a tree ever reads a borrowed string.
/// - A node owns its children and attributes and destroys them with itself or
///   in CleanUp(). Null entries in either array are skipped by every walk.
/// - Names compare exactly (wcscmp). GetPropertyValue returns the LAST
///   attribute of that name; SetPropertyValue changes the FIRST.
/// - Results: searches return a pointer or null; IsNameEquals / IsPropertyEquals
///   / IsValid 1 or 0; loads 0 (root read) or -1; the writers always return 0.
/// - Allocation failures are caught inside each operation (setters leave the
///   field null, AddChildNode returns null, the copy skips the attribute) except
///   the new attribute object in SetPropertyValue, the load buffers, and the
///   document writers' declaration, which let std::bad_alloc reach the caller.
///   A child or attribute whose append to its array fails is destroyed.
/// - Numeric setters print with "%d": the value is formatted as a 32-bit int,
///   so a long outside the int range wraps to its low 32 bits.
/// - Copying: operator= makes a deep copy holding owned strings only. Copying
///   a node into itself leaves it unchanged; copying from a node inside the
///   target's own subtree first copies the source aside, so it is safe too.
///   Copy construction is not offered (it would share owned strings).
///   Assigning to a document (`doc = node`, `doc = otherDoc`) copies the tree
///   into the document's node part and leaves its m_Buffer untouched; the
///   document's borrowed strings are released by the clean-up, so the result
///   depends on no buffer.
///
/// Reader (LoadFromStream / LoadFromStreamAscii / Parse), choices made here:
/// - Tags beginning with "?" (declaration, processing instructions) are passed
///   over whole: their attributes are not split off and not kept on the root.
/// - A negative length is refused with -1 before anything changes.
/// - Null data or length 0 (and text whose first unit is zero) give -1 after the
///   buffer was resized and cleared; the tree is emptied first, so it never
///   holds strings into a replaced buffer.
/// - Nesting is limited to CWXML_MAX_DEPTH levels (the element Parse starts on
///   is level 1): a child that would stand deeper fails like a child without
///   its end tag (the parent keeps the children before it, its value is null).
///   This bounds the recursion of the reader and of copying, writing and
///   destroying any tree the reader built. Deeper trees built with the setters
///   recurse once per level in those operations; keeping them shallow enough
///   for the stack is the caller's business.
/// - The wide buffer is sized to the byte count rounded up to whole units plus
///   one zero unit, so a trailing partial unit is still followed by a zero
///   unit; its data length is the byte count given. Every scan stops at that
///   zero unit. Loading from a range inside the document's own buffer is safe.
/// - The 8-bit loader converts a zero-terminated copy of exactly the n bytes.
///   Text of 1024 bytes or more made of ASCII bytes only, in a locale that
///   reads each of them as itself, is widened straight into the buffer
///   instead, and any other text in a UTF-8 locale is decoded straight into
///   it, bounded to the n bytes; both give the same units. No temporary block
///   is allocated then; the buffer grows before the tree is emptied, so when
///   it cannot be allocated the tree and the buffer are left as they were, as
///   when the temporary block fails.
/// - The tree and the buffer are exactly those of the reading rules applied
///   literally, in time about linear in the text instead of the text times
///   the nesting depth: a load reads in one pass, matching end tags as it
///   meets them, and reads a text where that would differ from the rules
///   again with an index of its end tags (Parse always uses the index).
///   When the index cannot be allocated, the text is read by the rules
///   literally instead.
///
/// Writer: wide form appends 4-byte units, no BOM, no terminator. The 8-bit
/// form reserves one byte per wide character and writes each character's
/// form in the locale's encoding (as WideCharToMultiByte converts it) into
/// its byte. Choice: a character whose form takes more than one byte, or
/// that the encoding cannot represent, is written as '?', so the output keeps
/// one byte per character and the document keeps its structure.
///
/// Storage: nodes and attributes allocate through class-specific operator
/// new and delete: create them with `new` (the plain, nothrow or placement
/// form) and destroy them with `delete`; the global operator new paired with
/// `delete` is not supported. The reader cuts the objects of one load from
/// shared chunks; a chunk is freed when its last object is. A node allocated
/// that way (by the reader, `new`, AddChildNode or operator=) comes with room
/// for the first five slots of each of its two arrays, and its arrays start
/// on that room instead of malloc storage; nothing else differs (capacity 5,
/// non-null GetMemPtr, growth to malloc storage, see ptarray.h). A node
/// constructed anywhere else has malloc'd array storage.
///
/// Standard mode (LoadXML / SaveXML / GetLastError), beside the exact one:
/// - LoadXML reads an XML 1.0 document as a non-validating processor does,
///   into the same classes: UTF-8 (with or without a byte-order mark), UTF-16
///   and UTF-32 by their mark, ISO-8859-1, US-ASCII and windows-1252 when
///   declared, any other declared encoding through iconv. The XML
///   declaration must follow its grammar (version, then encoding, then
///   standalone yes/no); a declared encoding that contradicts the mark or
///   the bytes is an error. Comments and processing instructions are
///   skipped; CDATA sections are text; character references are decoded.
///   Either quote is accepted, white space anywhere XML allows it. Line ends
///   become LF; in attribute values a literal tab, LF or CR becomes a space
///   (one written as a character reference stays). Prefixed names and xmlns
///   attributes are kept as written.
/// - The DOCTYPE's internal subset is checked by the grammar of markup
///   declarations and used: internal entities are expanded in content (their
///   text is read as if it stood where the reference does) and in attribute
///   values (tab, LF and CR in their text become spaces); attribute-list
///   defaults are added to the tags that leave them out, after the given
///   attributes, in declaration order; attributes declared with a type other
///   than CDATA lose leading and trailing spaces and have runs of spaces
///   collapsed. The first declaration of an entity or of an attribute wins.
///   Nothing is read from outside: no external subset, no external entity,
///   whatever the document names. A reference in content to an external
///   parsed entity is dropped (it expands to nothing); so is a reference to
///   an undeclared entity where XML does not make that a fatal error (the
///   document has an external subset or references a parameter entity, and
///   is not standalone="yes"); elsewhere it is CWXML_ERROR_UNDECLARED_ENTITY.
///   After a reference to a parameter entity that is not read, later entity
///   and attribute-list declarations are not used (unless standalone="yes").
///   Recursion, references to unparsed entities, external entities or "<"
///   in attribute values are CWXML_ERROR_ENTITY; entities nested deeper than
///   CWXML_MAX_ENTITY_DEPTH, or expanding to more than the expansion limit,
///   CWXML_ERROR_ENTITY_LIMIT. A fault inside an entity's text is reported
///   at the outermost reference in the document.
/// - Storage: m_Buffer receives the decoded text (one wide unit per
///   character, CR LF and a lone CR as one LF as XML asks before parsing, a
///   zero unit after it; its data length is the room reserved, one unit per
///   input byte plus one) and names and values are borrowed
///   from it as with the exact reader. Owned instead (own-flag 1, released
///   with the tree): the value of an element whose text is split by child
///   elements or comes partly from an entity; names and values read from an
///   entity's text; attribute values in which an entity was expanded;
///   attributes added from defaults. The input may lie inside m_Buffer.
/// - Value of an element (mixed content): the concatenation of its character
///   data pieces, i.e. the text runs between its markup and its CDATA
///   sections, in order, leaving out every text run made only of literal
///   white space; then literal white space (not written as a character
///   reference, not inside CDATA) at both ends of the result is removed.
///   The value is null when the element has no piece and is either written
///   as an empty-element tag or has child elements; otherwise it is a string,
///   possibly empty (`<a></a>`, `<a> </a>`).
/// - Lossless load, LoadXML(data, length, CWXML_KEEP_ALL): the same checks,
///   limits and errors, and the document kept whole, in order. Non-element
///   nodes (CWXMLNodeKind) have no name, attributes or children; m_pValue
///   holds: TEXT, a run of character data between two pieces of markup
///   (white space included, references and entities expanded); CDATA, the
///   section's content; COMMENT, the text between "<!--" and "-->"; PI, the
///   text between "<?" and "?>" (the XML declaration too); DOCTYPE, the
///   whole declaration from "<!DOCTYPE" to its closing ">". Line ends are LF
///   in all of them. An element whose content is character data only has
///   no child and keeps that text untrimmed as its value (`<a></a>` "",
///   `<a/>` null, as in the default load); an element with any child node
///   (element, comment, PI, CDATA) has a null value and each run of its
///   character data as a TEXT child. Before and after the root, the nodes
///   go to m_Prolog and m_Epilog (m_pParent null): the declaration first
///   when there is one, then comments, PIs, the DOCTYPE and white space
///   runs. Strings are borrowed from m_Buffer, except the DOCTYPE, white
///   space outside the root and text read from an entity (owned). Each kept
///   node costs one node of the load's pool, as an element does; a kept
///   node takes at least two bytes of input, so memory stays linear in it.
/// - m_Prolog and m_Epilog are emptied (their nodes destroyed) by every load
///   of either mode as it starts and by the destructor; CleanUp() and
///   operator= leave them alone.
/// - A document that is not well-formed, cannot be decoded or nests deeper
///   than CWXML_MAX_DEPTH gives -1 and an empty tree (nothing partial);
///   GetLastError() tells where (see xmlerror.h): the offending end tag
///   (its detail names both tags), the second occurrence of a repeated
///   attribute, or the end of the input for an element still open there.
/// - SaveXML appends UTF-8 whatever the locale and never changes character
///   data: another XML reader reads each element's text as the tree holds
///   it (m_pValue, then its TEXT and CDATA children), character for
///   character. It writes m_pValue first, then the children in order; a
///   value stays on the element's line (`<a>value</a>`) however long. An
///   element with a null value and no children is `<a/>`, with an empty
///   value and none `<a></a>`; an empty value beside children, when no TEXT
///   or CDATA child carries text, is an empty CDATA section (told apart
///   from none). Nameless elements and incomplete attributes (IsValid 0)
///   are left out, as by the exact writer.
/// - Layout (CWXMLSaveOptions, xmloptions.h): a line end, then the
///   indentation of the child's level (depth + 1 tabs or N spaces per
///   level; none at level 0 or below) before each child, and a line end and
///   the element's indentation before its end tag, only in an element that
///   has no character data: its m_pValue is null or empty and it has no
///   TEXT or CDATA child. Inside an element that has character data nothing
///   is added anywhere in its subtree. CWXML_INDENT_NONE adds nothing at
///   all. Line ends are LF by default (what Linux tools expect), CR LF with
///   `crlf`; with `crlf` every LF of text, comments, PIs, the DOCTYPE and
///   the declaration is written as CR LF too (readers read either as LF).
///   A node's SaveXML starts at `depth` and ends with a line end (none with
///   CWXML_INDENT_NONE).
/// - Document: the declaration, the prolog (m_Prolog), the root, the
///   epilog (m_Epilog), each followed by a line end when laid out. The
///   declaration is a kept one (the first prolog node when it is a PI whose
///   target is "xml"), its encoding pseudo-attribute written as UTF-8, or
///   `<?xml version="1.0" encoding="UTF-8"?>` when none is kept (but for a
///   document read with CWXML_KEEP_ALL, below); none at all when
///   `declaration` is false.
/// - A document whose tree was read by LoadXML with CWXML_KEEP_ALL carries
///   its own layout: its SaveXML adds none anywhere, whatever `indent` says
///   (the document remembers that load; every other load, successful or
///   not, forgets it, `doc = otherDoc` copies it with the prolog and epilog,
///   `doc = node`, Parse and the editing operations leave it). It writes
///   the declaration it was read with, or none when it had none, so the
///   output does not depend on `indent` at all. A subtree of such a
///   document saved alone with a node's SaveXML is laid out as any node
///   (use CWXML_INDENT_NONE to add nothing).
/// - So a tree read with CWXML_KEEP_ALL is written back as it was read,
///   except where this writer has one form only: attribute values in double
///   quotes, with &amp; &lt; &quot; and character references for tab, LF and
///   CR (so they survive attribute-value normalisation); in text &amp; and
///   &lt;, &gt; only after "]]", &#13; for CR, references for DEL and the C1
///   controls; everything else as the character itself (references and
///   entities in the input come out as their characters); `<a/>` for an
///   element without content; the declaration's encoding named UTF-8. In a
///   CDATA section "]]>" and CR end the section and open another around
///   them. Markup written as it stands: comments, PIs and the DOCTYPE.
///   Attributes the internal subset defaults are in the tree, so they are
///   written out (the canonical form, which adds them too, is the same).
/// - SaveXML then LoadXML (default) gives the same tree but for white space
///   at the ends of values, which LoadXML trims (a value of " x" from a
///   character reference comes back as "x"); the tree read back writes the
///   same bytes again.
/// - SaveXML writes into the block's storage past its length, growing the
///   storage to at least twice its capacity when it is full, and sets the
///   length once at the end; the bytes between the length and the capacity
///   are then zero.
/// - SaveXML returns -1, and the block holds exactly what it held before the
///   call, for a tree that cannot be written as XML: a name that is not an
///   XML name, two attributes of one name, a character XML forbids, a
///   comment holding "--" or ending in "-", a PI whose target is not a name
///   or is "xml" or that holds "?>", a DOCTYPE that is not "<!DOCTYPE ...>",
///   a node where its kind cannot stand (a DOCTYPE inside an element or
///   after the root, text other than white space outside the root), a
///   malformed kept declaration, a starting element without a name, or
///   memory running out. The reason is a CWXMLError (xmlerror.h): a
///   document records it for GetLastError() (code 0 after a success), and
///   the four-argument SaveXML hands it to the caller, the only place a
///   node has for it.
///
/// Editing (beside the exact operations, which they never change):
/// - Children: InsertChildNode takes ownership of a node made with `new`;
///   RemoveChildAt / RemoveChildNode destroy; DetachChildAt /
///   DetachChildNode hand the node back to the caller, who deletes it with
///   `delete` or inserts it elsewhere. Detaching makes owned copies of every
///   borrowed string in the subtree, so it outlives a reload or the
///   destruction of the document it came from and may go into another one.
///   Indices count null entries, as GetChildAt does.
/// - Attributes: GetPropertyCount / GetPropertyAt walk them in order;
///   RemovePropertyAt destroys one, RemoveProperty every one of a name.
/// - Typed getters (QueryValue... for the element's value, QueryProperty...
///   for the attribute GetPropertyValue finds, the LAST of its name) answer
///   CWXML_VALUE_OK, _MISSING or _MALFORMED and store the value only on
///   CWXML_VALUE_OK. XML white space (space, tab, CR, LF) around the text is
///   ignored; the rest must be one whole lexical form of XML Schema: long
///   [+-]digits (no other base, overflow is malformed); double as xs:double
///   ([+-]digits[.digits][(e|E)[+-]digits], ".5", "5.", INF, +INF, -INF,
///   NaN; read the same in every locale, a value too large for a double is
///   malformed, one too small reads as 0 or the nearest subnormal); bool
///   true, false, 1 or 0. A missing value (null) is _MISSING; an empty or
///   white space text is _MALFORMED.
/// - Files: LoadXMLFile reads a whole file with LoadXML; SaveXMLFile writes
///   SaveXML's output through ReplaceFileContent (platform/replacefile.h):
///   a temporary file beside the target, synced and renamed over it, so the
///   target holds the old document or the new one, never part of one.
///   Failures of either are told by GetLastError (CWXML_ERROR_FILE_READ,
///   CWXML_ERROR_FILE_WRITE) and leave errno as the failing call set it.
/// - Copying keeps nodes of every kind (they have no name); an exact tree
///   holds none, so copying one is unchanged. `doc = otherDoc` also copies
///   m_Prolog and m_Epilog (deep, owned strings), replacing the target's;
///   `doc = node` copies only the node part and keeps the target's prolog
///   and epilog, as it keeps m_Buffer.
///
/// Threads: no locks; one tree per thread at a time.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include "cwbase/core/block.h"
#include "cwbase/core/ptarray.h"
#include "cwbase/xml/xmlerror.h"
#include "cwbase/xml/xmloptions.h"

/// Deepest nesting level the readers build (the root is level 1). The limit
/// also sizes what a load takes from the thread's stack: the exact reader
/// keeps a record of every open level in its reader object, which lives on
/// the stack (about 25 KiB at 1000), and its indexed pass and its fallback
/// reader call themselves once per level (about 150 bytes of stack a level
/// with g++ -O2, some 150 KiB at 1000). The standard reader keeps its open
/// levels on the heap and does not recurse. A larger limit needs a stack
/// that much larger.
constexpr int CWXML_MAX_DEPTH = 1000;

/// LoadXML: deepest nesting of entity references (an entity referenced from
/// the replacement text of another counts one level more).
constexpr int CWXML_MAX_ENTITY_DEPTH = 32;
/// LoadXML: the characters that entity references may produce in all, counted
/// as each expansion's replacement text plus CWXML_ENTITY_COST: at most this
/// many per character of the input ...
constexpr long CWXML_ENTITY_AMPLIFICATION = 100;
/// ... and never fewer than this many, whatever the input's size.
constexpr long CWXML_ENTITY_FLOOR = 8L << 20;
/// LoadXML: what one expansion costs beyond its replacement text, so that
/// references to empty entities are counted too.
constexpr long CWXML_ENTITY_COST = 16;

/// Typed getters (QueryValueLong, QueryPropertyBool, ...): the text is there
/// and is a well-formed value, which was stored.
constexpr int CWXML_VALUE_OK = 1;
/// Typed getters: there is no such text (null value, no such attribute or a
/// null name); nothing was stored.
constexpr int CWXML_VALUE_MISSING = 0;
/// Typed getters: the text is there but is not a whole well-formed value of
/// the type, or is out of its range; nothing was stored.
constexpr int CWXML_VALUE_MALFORMED = -1;

// The class-specific storage operators of CWXMLProp and CWXMLNode, the same
// in both. Objects of the tree come from its chunked storage: create them
// with `new` and destroy them with `delete`; the global operator new paired
// with `delete` is not supported.
// - operator new(size): allocates; throws std::bad_alloc on failure.
// - operator new(size, nothrow): allocates; null on failure.
// - operator new(size, where): placement form, constructs at `where`.
// - operator delete(object, size): releases an object made by either
//   allocating form.
// - operator delete(object, nothrow): releases an object whose nothrow
//   construction failed.
// - operator delete(object, where): placement form, releases nothing.
#define CWBASE_XML_STORAGE_OPERATORS                                         \
  static void* operator new(size_t size);                                    \
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;    \
  static void* operator new(size_t, void* where) noexcept {                  \
    return where;                                                            \
  }                                                                          \
  static void operator delete(void* object, size_t size) noexcept;           \
  static void operator delete(void* object, const std::nothrow_t&) noexcept; \
  static void operator delete(void*, void*) noexcept {}

/// Kinds of node. The exact reader and the default standard load make
/// elements only. Every other kind has no name (m_pName null), so the exact
/// writers, GetChildNode and operator= pass it over as they pass over a
/// nameless element; its text is in m_pValue.
enum CWXMLNodeKind : int {
  CWXML_NODE_ELEMENT = 0,  ///< An element: name, attributes, value, children.
  CWXML_NODE_TEXT = 1,     ///< A run of character data (m_pValue, entities expanded).
  CWXML_NODE_CDATA = 2,    ///< A CDATA section (m_pValue: its content).
  CWXML_NODE_COMMENT = 3,  ///< A comment (m_pValue: the text between "<!--" and "-->").
  CWXML_NODE_PI = 4,       ///< A processing instruction (m_pValue: the text between "<?" and "?>").
  CWXML_NODE_DOCTYPE = 5,  ///< The document type declaration (m_pValue: kept as written).
};

/// One attribute (property) of an element: a name and a value, each either
/// borrowed from a document's buffer or owned (see the own-flags).
class CWXMLProp {
 public:
  /// All four fields zero: no name, no value, nothing owned.
  CWXMLProp();
  /// Not copyable (the strings may be borrowed).
  CWXMLProp(const CWXMLProp&) = delete;
  /// Not assignable.
  CWXMLProp& operator=(const CWXMLProp&) = delete;
  /// Releases the owned strings; borrowed ones are left alone.
  virtual ~CWXMLProp();

  /// Storage: see CWBASE_XML_STORAGE_OPERATORS.
  CWBASE_XML_STORAGE_OPERATORS

  /// Takes one attribute from the front of the attribute list @p text, cutting
  /// it in place: name up to '=', value quoted (without the quotes) or up to the
  /// next space. Both strings are borrowed from @p text.
  /// @return where the next attribute begins, or null when the list ends.
  wchar_t* Init(wchar_t* text);
  /// @return 1 when both the name and the value are non-null, else 0.
  int IsValid();
  /// Stores an owned copy of @p name, releasing an owned previous one; a null
  /// argument changes nothing, a failed allocation leaves the name null.
  void SetName(wchar_t const* name);
  /// Stores an owned copy of @p value, releasing an owned previous one; a null
  /// argument changes nothing, a failed allocation leaves the value null.
  void SetValue(wchar_t const* value);

  /// Attribute name, or null.
  wchar_t* m_pName;
  /// Attribute value, or null.
  wchar_t* m_pValue;
  /// 1 when m_pName is owned (new[]), 0 when borrowed.
  int m_bOwnName;
  /// 1 when m_pValue is owned (new[]), 0 when borrowed.
  int m_bOwnValue;
};

/// One element: a name, an optional text value, attributes and child elements
/// in document order. A node owns its children and attributes and destroys
/// them with itself.
class CWXMLNode {
 public:
  /// An empty node without parent, name, value, children or attributes.
  CWXMLNode();
  /// An empty node whose m_pParent is @p parent (the node is not added to it).
  explicit CWXMLNode(CWXMLNode* parent);
  /// Not copy-constructible; use operator= for a deep copy.
  CWXMLNode(const CWXMLNode&) = delete;
  /// Destroys the whole subtree (CleanUp) and releases the owned strings.
  virtual ~CWXMLNode();

  /// Storage: see CWBASE_XML_STORAGE_OPERATORS.
  CWBASE_XML_STORAGE_OPERATORS

  /// Returns the node to its newly constructed state, keeping m_pParent:
  /// owned strings released, children and attributes destroyed.
  void CleanUp();

  /// The element name, or null.
  wchar_t* GetName() { return m_pName; }
  /// The text value, or null when the element has none (an element with
  /// children read from text has the empty string).
  wchar_t* GetValue() { return m_pValue; }
  /// @return 1 when the name and @p name are both non-null and equal (wcscmp), else 0.
  int IsNameEquals(wchar_t const* name);
  /// Number of entries in m_Children, null entries included.
  int GetChildCount();
  /// The child at @p index, or null when the index is out of range.
  CWXMLNode* GetChildAt(int index);
  /// The first child named @p name (exact match), or null.
  CWXMLNode* GetChildNode(wchar_t const* name);
  /// The value of the LAST attribute named @p name, or null when there is none
  /// or @p name is null.
  wchar_t* GetPropertyValue(wchar_t const* name);
  /// GetPropertyValue read with wcstol in base 10 ("12ab" gives 12); 0 when the
  /// attribute is missing, empty or does not start with a number.
  long GetPropertyValueLong(wchar_t const* name);
  /// @return 1 when any attribute named @p name has the value @p value (both
  /// exact), else 0; a null argument gives 0.
  int IsPropertyEquals(wchar_t const* name, wchar_t const* value);

  /// Stores an owned copy of @p name, releasing an owned previous one; a null
  /// argument changes nothing, a failed allocation leaves the name null.
  void SetName(wchar_t const* name);
  /// Stores an owned copy of @p value (an empty string is a value, unlike
  /// null); a null argument changes nothing, a failed allocation leaves the
  /// value null.
  void SetValue(wchar_t const* value);
  /// Stores @p value printed with "%d" (as a 32-bit int: a long outside that
  /// range wraps) as an owned string.
  void SetValue(long value);
  /// Stores @p value, 8-bit text in the locale's encoding, converted with
  /// MultiByteToWideChar as an owned string; a null argument changes nothing.
  void SetValueA(char const* value);
  /// Sets the FIRST attribute named @p name to an owned copy of @p value, adding
  /// the attribute when there is none. A value that begins with a double quote
  /// is stored without its quotes ("\"a b\"" gives a b). Null arguments change
  /// nothing. Throws std::bad_alloc when a new attribute cannot be allocated.
  void SetPropertyValue(wchar_t const* name, wchar_t const* value);
  /// SetPropertyValue with @p value printed with "%d" (as a 32-bit int).
  void SetPropertyValue(wchar_t const* name, long value);
  /// Appends a new child named @p name (an owned copy; duplicates allowed).
  /// @return the child, owned by this node; null for a null name or when out of
  /// memory.
  CWXMLNode* AddChildNode(wchar_t const* name);

  /// Inserts @p child, made with `new`, at @p index of m_Children (the count
  /// appends) and takes ownership of it; its m_pParent becomes this node.
  /// @return 1 done; 0 refused, the caller still owning @p child: null child,
  /// index below 0 or above the count, @p child being this node or one of
  /// its ancestors, @p child still standing in its m_pParent's list (detach
  /// it first), or no memory to grow the list. @p child's m_pParent must be
  /// null or a live node (it is read for that check).
  int InsertChildNode(int index, CWXMLNode* child);
  /// Destroys the child at @p index (a null entry is just removed) and
  /// closes the gap. @return 1 done; 0 for an index out of range.
  int RemoveChildAt(int index);
  /// RemoveChildAt for the first entry equal to @p child.
  /// @return 1 done; 0 when @p child is null or not a child of this node.
  int RemoveChildNode(CWXMLNode* child);
  /// Takes the child at @p index out of m_Children without destroying it:
  /// its subtree's borrowed strings become owned copies and its m_pParent
  /// null. The caller owns the result (delete it, or insert it anywhere).
  /// @return the child; null for an index out of range, a null entry, or no
  /// memory for the copies (the child then stays, its strings as they read).
  CWXMLNode* DetachChildAt(int index);
  /// DetachChildAt for the first entry equal to @p child; null when @p child
  /// is null or not a child of this node.
  CWXMLNode* DetachChildNode(CWXMLNode* child);
  /// The index of the first entry of m_Children equal to @p child; -1 when
  /// none (or @p child is null).
  int GetChildIndex(CWXMLNode* child);

  /// Number of entries in m_Props, null entries included.
  int GetPropertyCount();
  /// The attribute at @p index, or null when the index is out of range.
  CWXMLProp* GetPropertyAt(int index);
  /// Destroys the attribute at @p index and closes the gap.
  /// @return 1 done; 0 for an index out of range.
  int RemovePropertyAt(int index);
  /// Destroys every attribute named @p name (all of them, since
  /// GetPropertyValue reads the last and SetPropertyValue sets the first).
  /// @return how many were removed; 0 for none or a null name.
  int RemoveProperty(wchar_t const* name);

  /// The value read as a long (see the file description).
  /// @return CWXML_VALUE_OK (stored in *@p value when not null),
  /// CWXML_VALUE_MISSING or CWXML_VALUE_MALFORMED (*@p value untouched).
  int QueryValueLong(long* value);
  /// The value read as a double in any locale; results as QueryValueLong.
  int QueryValueDouble(double* value);
  /// The value read as true/false/1/0; results as QueryValueLong.
  int QueryValueBool(bool* value);
  /// GetPropertyValue(@p name) read as a long; results as QueryValueLong.
  int QueryPropertyLong(wchar_t const* name, long* value);
  /// GetPropertyValue(@p name) read as a double; results as QueryValueLong.
  int QueryPropertyDouble(wchar_t const* name, double* value);
  /// GetPropertyValue(@p name) read as a bool; results as QueryValueLong.
  int QueryPropertyBool(wchar_t const* name, bool* value);

  /// Makes this node a deep copy of @p source holding owned strings only, after
  /// a CleanUp, kind included. Elements without a name are not copied (nor
  /// their subtrees); nodes of the other kinds are.
  CWXMLNode& operator=(CWXMLNode& source);

  /// Reads one element from the wide @p text into this node (after CleanUp),
  /// cutting @p text in place: the tree's strings are borrowed from it, so it
  /// must outlive them.
  /// @return the position just after the element, or null when no element
  /// could be read.
  wchar_t* Parse(wchar_t* text);
  /// Cuts the tag text @p text at its first space (the name) and appends the
  /// attributes after it to m_Props (borrowed from @p text).
  void ExtractPropsFromName(wchar_t* text);

  /// Appends this element and its subtree as wide text (4-byte units, no BOM,
  /// no terminator) to @p block: @p depth tabs of indentation, CR LF line ends.
  /// Nothing is escaped; an element without a name writes nothing.
  /// @return 0 always.
  int SaveToXMLStream(CWBlock& block, long depth = 0);
  /// Appends the same text in the locale's 8-bit encoding, ONE byte per
  /// character: characters that need more, or have no form, are written as
  /// '?' (see the file description). @return 0 always.
  int SaveToXMLStreamAscii(CWBlock& block, long depth = 0);
  /// Appends this element and its subtree as XML in UTF-8 (standard mode,
  /// see the file description) at @p depth tabs of indentation.
  /// @return 0, or -1 when the tree cannot be written as XML; the block is
  /// then as it was before the call.
  int SaveXML(CWBlock& block, long depth = 0);
  /// SaveXML laid out as @p options say.
  int SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options);
  /// SaveXML laid out as @p options say, telling the outcome in *@p error
  /// when @p error is not null: code 0 on success, else why and where the
  /// tree cannot be written (see xmlerror.h).
  int SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options, CWXMLError* error);

  /// The node whose child list holds this node; null for a root. Never read by the library.
  CWXMLNode* m_pParent;
  /// Child elements (CWXMLNode*), owned, in document order.
  CWPtArray m_Children;
  /// Attributes (CWXMLProp*), owned, in document order.
  CWPtArray m_Props;
  /// Element name, or null.
  wchar_t* m_pName;
  /// Text value; null means none (written self-closing without children).
  wchar_t* m_pValue;
  /// 1 when m_pName is owned (new[]), 0 when borrowed.
  int m_bOwnName;
  /// 1 when m_pValue is owned (new[]), 0 when borrowed.
  int m_bOwnValue;
  /// What the node stands for (CWXML_NODE_ELEMENT unless the standard reader
  /// kept something else); see CWXMLNodeKind.
  int m_Kind;

  /// m_Kind.
  int GetKind() const { return m_Kind; }
  /// Whether the node is an element (the only kind the exact operations make).
  bool IsElement() const { return m_Kind == CWXML_NODE_ELEMENT; }

 private:
  // The arrays start on `lentSlots` (2 x 5 slots) when it is not null.
  CWXMLNode(CWXMLNode* parent, void** lentSlots);
};

/// A document: the root element itself plus m_Buffer, the text the tree was
/// read from. Borrowed strings of the tree live until the next load or the
/// document's destruction.
class CWXMLDocument : public CWXMLNode {
 public:
  /// An empty document with an empty buffer.
  CWXMLDocument();
  /// Not copy-constructible; use operator= for a deep copy of the tree.
  CWXMLDocument(const CWXMLDocument&) = delete;
  /// Destroys the tree, the prolog and epilog nodes, and the buffer.
  ~CWXMLDocument() override;

  /// Deep-copies the tree of @p source into the node part (owned strings
  /// only); m_Buffer, m_Prolog and m_Epilog are left as they are.
  CWXMLDocument& operator=(CWXMLNode& source);
  /// Deep-copies the tree of @p source into the node part and its m_Prolog
  /// and m_Epilog over this document's (owned strings only); m_Buffer is
  /// left as it is.
  CWXMLDocument& operator=(CWXMLDocument& source);

  /// Loads @p length bytes of wide text (32-bit wchar_t units in machine byte
  /// order) at @p data: copies them into m_Buffer and reads the root element,
  /// the tree borrowing its strings from that copy.
  /// @return 0 when the root element was read; -1 otherwise (null data, length
  /// 0 or negative, no element, root unterminated or without its end tag).
  int LoadFromStream(unsigned char* data, int length);
  /// Loads @p length bytes of 8-bit text in the locale's encoding, converted
  /// with MultiByteToWideChar (a zero byte ends the text).
  /// @return 0 when the root element was read; -1 otherwise.
  int LoadFromStreamAscii(unsigned char* data, int length);
  // The two loads for read-only bytes, exactly as the forms above (which
  // never write the bytes either). Templates only so that a call with a null
  // pointer constant (nullptr, NULL, 0) still picks the form above.
  /// LoadFromStream of read-only bytes.
  template <typename Byte, typename = std::enable_if_t<std::is_same<Byte, unsigned char>::value>>
  int LoadFromStream(const Byte* data, int length) {
    return LoadFromStream(const_cast<unsigned char*>(data), length);
  }
  /// LoadFromStreamAscii of read-only bytes.
  template <typename Byte, typename = std::enable_if_t<std::is_same<Byte, unsigned char>::value>>
  int LoadFromStreamAscii(const Byte* data, int length) {
    return LoadFromStreamAscii(const_cast<unsigned char*>(data), length);
  }
  /// Reads the XML 1.0 document in the @p length bytes at @p data (standard
  /// mode, see the file description) into m_Buffer and the tree.
  /// @return 0, or -1 (empty tree; GetLastError says why and where).
  int LoadXML(const unsigned char* data, long length);
  /// LoadXML with option bits (xmloptions.h): CWXML_KEEP_ALL keeps every
  /// node of the document. Options 0 is the two-argument form.
  int LoadXML(const unsigned char* data, long length, unsigned long options);
  /// Reads the whole file at @p path and loads it with LoadXML (@p options
  /// as there). The wide path is converted in the locale however many bytes
  /// it needs.
  /// @return 0, or -1 with an empty tree: a file that cannot be opened or
  /// read (CWXML_ERROR_FILE_READ, the message naming the reason; an empty
  /// file reads as no root) or any fault LoadXML reports.
  int LoadXMLFile(const wchar_t* path, unsigned long options = 0);
  /// LoadXMLFile with an 8-bit path, handed to the C library unchanged.
  int LoadXMLFile(const char* path, unsigned long options = 0);
  /// Writes the document as SaveXML (depth 0, @p options) to the file at
  /// @p path, replacing it whole or not at all (ReplaceFileContent).
  /// @return 0 (GetLastError code 0), or -1: the tree cannot be written as
  /// XML (GetLastError as SaveXML leaves it), or the file cannot be written
  /// (CWXML_ERROR_FILE_WRITE, the message naming the reason); the file at
  /// @p path is then as it was.
  int SaveXMLFile(const wchar_t* path, const CWXMLSaveOptions& options = CWXMLSaveOptions());
  /// SaveXMLFile with an 8-bit path, handed to the C library unchanged.
  int SaveXMLFile(const char* path, const CWXMLSaveOptions& options = CWXMLSaveOptions());

  /// What the last load, file save or SaveXML found: code 0 after a success.
  const CWXMLError& GetLastError() const { return m_LastError; }

  /// Appends the declaration `<?xml version="1.0"?>` and CR LF, then the root
  /// element as CWXMLNode::SaveToXMLStream, as wide text.
  /// @return 0 always; a failure while appending the declaration throws
  /// std::bad_alloc.
  int SaveToXMLStream(CWBlock& block, long depth = 0);
  /// Appends the declaration as 23 bytes, then the root element as
  /// CWXMLNode::SaveToXMLStreamAscii (one byte per character).
  /// @return 0 always; a failure while appending the declaration throws
  /// std::bad_alloc.
  int SaveToXMLStreamAscii(CWBlock& block, long depth = 0);
  /// Appends the declaration, the prolog, the root element as
  /// CWXMLNode::SaveXML and the epilog, laid out by the default options
  /// unless the tree was read with CWXML_KEEP_ALL (see the file description).
  /// @return 0, or -1 with the block as it was before the call.
  int SaveXML(CWBlock& block, long depth = 0);
  /// SaveXML laid out as @p options say.
  int SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options);
  /// SaveXML laid out as @p options say, telling the outcome in *@p error
  /// too when @p error is not null. Every form records it for GetLastError.
  int SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options, CWXMLError* error);

  /// The wide text of the last load, cut in place; the tree's borrowed strings point into it.
  CWBlock m_Buffer;
  /// Nodes kept before the root element by a CWXML_KEEP_ALL load
  /// (CWXMLNode*, owned, none of them an element): the XML declaration first
  /// when there is one (a CWXML_NODE_PI whose value begins with "xml"), then
  /// comments, processing instructions, the DOCTYPE and white space text, in
  /// document order. Empty after any other load.
  CWPtArray m_Prolog;
  /// Nodes kept after the root element by a CWXML_KEEP_ALL load, as m_Prolog.
  CWPtArray m_Epilog;

 private:
  int LoadWide(unsigned char* data, unsigned long size);
  int LoadAscii(unsigned char* data, int length);
  // Records the outcome of an exact load for GetLastError; returns `result`.
  int RecordExactLoad(int result, const unsigned char* data, int length);
  /// Records the outcome of a load (message from the code; `detail`, UTF-8
  /// that fits CWXMLError::detail, or null for none).
  void SetLastError(int code, long offset, int line, int column, const char* detail = nullptr);
  /// Records a file that could not be read or written (CWXML_ERROR_FILE_*),
  /// the message naming @p error, an errno value.
  void SetFileError(int code, int error);
  /// Loads the file at @p path (8-bit, or null when the wide path did not convert).
  int LoadFile(const char* path, unsigned long options);
  /// Saves to the file at @p path (8-bit, or null when the wide path did not convert).
  int SaveFile(const char* path, const CWXMLSaveOptions& options);

  /// What the last load found (see GetLastError).
  CWXMLError m_LastError = {0, 0, 0, 0, "no error", {}};
  /// True when the tree was read by LoadXML with CWXML_KEEP_ALL: SaveXML then
  /// adds no layout (set by that load, cleared by every other load, copied by
  /// operator=(CWXMLDocument&) with the prolog and epilog).
  bool m_bKeptLayout = false;
};

#undef CWBASE_XML_STORAGE_OPERATORS
