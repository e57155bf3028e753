/// @file
/// CWXMLPath: path queries over an XML tree, a small subset of XPath 1.0
/// compiled once and then run on any number of trees.
///
/// Syntax (no white space outside predicates; inside them around the
/// brackets, names, "=" and values):
/// - "/" at the start makes the path absolute: the context node given to a
///   selection is taken as the root element, and the first step is matched
///   against it (`/config/server`). A path without it is relative: its first
///   step starts from the context node (`server/port` are children of the
///   context). A leading "//" searches the root and all its descendants.
/// - Steps are separated by "/". A step is an element name (exact, wcscmp),
///   `*` (any named element), `.` (the node itself) or `..` (its parent).
///   "//" between steps stands for the node and all its descendants
///   (`a//b`: every b below a, at any depth). A final step `@name` or `@*`
///   selects attributes of the elements reached (by name, or all of them).
/// - Predicates follow an element step, several in a row, each filtering
///   what the one before it kept: `[@a]` (has attribute a), `[@a='v']` (an
///   attribute a whose value is v; "v" in double quotes too), `[name]` (has
///   a child element name), `[name='v']` (a child element name whose value is
///   v), `[n]` (the n-th, from 1, of what the step found from one context
///   node: `item[2]` is the second item child of each node, `//item[1]` the
///   first item child of every element). Quoted values have no escapes; a
///   value cannot hold its own quote.
/// - Names are XML names. `.` and `..` take predicates too (`.[@a]`).
///
/// Meaning, and the choices made here:
/// - Only elements (CWXML_NODE_ELEMENT) are nodes of a path: other kinds
///   (text, comments, ...) are never reached, and a nameless element is
///   matched by no name and no `*`, though `.`, `..` and "//" go through it.
/// - The value of an element, for `[name='v']` and for SWXMLMatch::GetValue,
///   is its m_pValue (GetValue()); a null value compares as the empty string,
///   so `[name='']` matches `<name/>`. Attribute predicates hold when ANY
///   attribute of that name matches (as IsPropertyEquals), attributes
///   without a value never equal anything.
/// - `..` of the root of an absolute path gives nothing (its parent is the
///   document itself, which is not an element). Below the context node the
///   path keeps its own chain of ancestors and never reads m_pParent. Above
///   it, a relative path follows m_pParent, as far as it has `..` steps, and
///   only through a parent whose m_Children really holds the node; where
///   that fails, `..` above the context gives nothing.
/// - Matches come in document order (an element before its descendants, an
///   element's attributes in list order right after it), each once however
///   many ways the path reaches it.
///
/// Results: Compile returns 0, or -1 with GetLastError() naming the fault
/// and its offset (characters from the start of the path); a failed compile
/// leaves the object uncompiled. SelectAll returns the number of matches or
/// -1 (not compiled, null context, out of memory), SelectFirst a match whose
/// node is null when there is none. Matches point into the tree: they are
/// valid while the tree is not changed.
///
/// Cost and limits: compiling is linear in the path's length. A path without
/// ".." is taken step by step down from the context: a child step reads the
/// children of the nodes it is given, "//" with the step after it walks their
/// subtrees once; memory is a pointer per node kept and a stack as deep as the
/// tree. A path with ".." numbers the elements it may need once (the whole
/// subtree of the highest node the path can reach, or only its levels the path
/// can reach when it has no "//") and then takes each step over those numbers,
/// with about 20 bytes per element. Either way the time is at most linear in
/// the tree's size times the number of steps, and nothing is called
/// recursively, so trees of any depth are safe. Out of memory is caught
/// (std::bad_alloc never escapes).
///
/// Threads: Compile changes the object; the selections only read it and the
/// tree, keeping nothing between calls, so one compiled path may run on
/// several threads at once over trees that no thread changes meanwhile.
#pragma once

#include "cwbase/core/block.h"
#include "cwbase/xml/xmlnode.h"

/// The path compiled without fault.
constexpr int CWXML_PATH_ERROR_NONE = 0;
/// The path is null or empty.
constexpr int CWXML_PATH_ERROR_EMPTY = 1;
/// Nothing between two "/", after "//" or after the last "/".
constexpr int CWXML_PATH_ERROR_EMPTY_STEP = 2;
/// Where a name (or in a step "*") must stand, something else does.
constexpr int CWXML_PATH_ERROR_NAME = 3;
/// A "[" without its "]" (the offset is the "[").
constexpr int CWXML_PATH_ERROR_UNCLOSED = 4;
/// A predicate that is none of the forms the syntax knows (empty, a value
/// without quotes, a function call, ...).
constexpr int CWXML_PATH_ERROR_PREDICATE = 5;
/// A position that is 0, has a sign, is followed by more than "]", or does
/// not fit an int.
constexpr int CWXML_PATH_ERROR_POSITION = 6;
/// A quoted value without its closing quote (the offset is the opening one).
constexpr int CWXML_PATH_ERROR_QUOTE = 7;
/// An `@` step followed by another step or a predicate (the offset is the
/// "@").
constexpr int CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST = 8;
/// A character after a complete step that is neither "/", "[" nor the end.
constexpr int CWXML_PATH_ERROR_TRAILING = 9;
/// Memory for the compiled path could not be allocated.
constexpr int CWXML_PATH_ERROR_OUT_OF_MEMORY = 10;

/// What the last Compile found: the code, where (characters from the start
/// of the path) and a static English message for the code (never null).
struct SWXMLPathError {
  int code;             ///< A CWXML_PATH_ERROR_ code.
  long offset;          ///< Characters before the fault; 0 for NONE and OUT_OF_MEMORY.
  const char* message;  ///< Static text for `code`.
};

/// One match: an element (prop null), or an attribute `prop` of the element
/// `node`.
struct SWXMLMatch {
  CWXMLNode* node;  ///< The element matched, or the element holding `prop`; null: no match.
  CWXMLProp* prop;  ///< The attribute matched, or null for an element.

  /// The attribute's value, or the element's m_pValue; null when there is
  /// none (or no match).
  wchar_t* GetValue() const { return prop ? prop->m_pValue : node ? node->m_pValue : nullptr; }
};

/// A compiled path (see the file description). Copyable; a default
/// constructed object is not compiled.
class CWXMLPath {
 public:
  /// An uncompiled path.
  CWXMLPath();
  virtual ~CWXMLPath();

  /// Compiles @p path, replacing what the object held.
  /// @return 0; or -1, the object uncompiled and GetLastError() telling why.
  int Compile(const wchar_t* path);
  /// 1 after a successful Compile, else 0.
  int IsCompiled() const { return m_Compiled; }
  /// What the last Compile found (code 0 after a success or before any).
  const SWXMLPathError& GetLastError() const { return m_Error; }

  /// Every match of the path from @p context, in document order, each once,
  /// replacing the contents of @p matches.
  /// @return the number of matches; -1 when the path is not compiled, the
  /// context is null or memory runs out (@p matches is then empty).
  int SelectAll(CWXMLNode* context, CWDynArray<SWXMLMatch>& matches) const;
  /// The first match in document order; node and prop null when there is
  /// none (or on the failures of SelectAll).
  SWXMLMatch SelectFirst(CWXMLNode* context) const;

 private:
  CWBlock m_Steps;       // the compiled steps (private records)
  CWBlock m_Predicates;  // their predicates
  CWBlock m_Strings;     // names and values they name, zero-terminated wide strings
  int m_Compiled = 0;
  int m_Absolute = 0;  // the path began with "/"
  SWXMLPathError m_Error = {CWXML_PATH_ERROR_NONE, 0, "no error"};
};

/// One-shot forms: compile @p path and select. An invalid path gives -1 /
/// no match; use CWXMLPath to learn why.
int XMLPathSelectAll(CWXMLNode* context, const wchar_t* path, CWDynArray<SWXMLMatch>& matches);
/// See XMLPathSelectAll.
SWXMLMatch XMLPathSelectFirst(CWXMLNode* context, const wchar_t* path);
