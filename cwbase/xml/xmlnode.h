// In-memory XML tree: CWXMLProp (one attribute), CWXMLNode (one element) and
// CWXMLDocument (the root element plus the text buffer the reader cut it from).
//
// Contract
// - Strings are zero-terminated wide strings. Each string field is either
//   borrowed (points into the document's m_Buffer, own-flag 0) or owned (an
//   array new[] copy released with delete[], own-flag 1). The reader stores
//   borrowed strings; every setter and operator= store owned copies.
//   Borrowed strings live until the next load into the document or its
//   destruction. No operation that releases a tree ever reads a borrowed string.
// - A node owns its children and attributes and destroys them with itself or
//   in CleanUp(). Null entries in either array are skipped by every walk.
// - Names compare exactly (wcscmp). GetPropertyValue returns the LAST
//   attribute of that name; SetPropertyValue changes the FIRST.
// - Results: searches return a pointer or null; IsNameEquals / IsPropertyEquals
//   / IsValid 1 or 0; loads 0 (root read) or -1; the writers always return 0.
// - Allocation failures are caught inside each operation (setters leave the
//   field null, AddChildNode returns null, the copy skips the attribute) except
//   the new attribute object in SetPropertyValue, the load buffers, and the
//   document writers' declaration, which let std::bad_alloc reach the caller.
//   A child or attribute whose append to its array fails is destroyed.
// - Numeric setters print with "%d": the value is formatted as a 32-bit int,
//   so a long outside the int range wraps to its low 32 bits.
// - Copying: operator= makes a deep copy holding owned strings only. Copying
//   a node into itself leaves it unchanged; copying from a node inside the
//   target's own subtree first copies the source aside, so it is safe too.
//   Copy construction is not offered (it would share owned strings).
//   Assigning to a document (`doc = node`, `doc = otherDoc`) copies the tree
//   into the document's node part and leaves its m_Buffer untouched; the
//   document's borrowed strings are released by the clean-up, so the result
//   depends on no buffer.
//
// Reader (LoadFromStream / LoadFromStreamAscii / Parse), choices made here:
// - Tags beginning with "?" (declaration, processing instructions) are passed
//   over whole: their attributes are not split off and not kept on the root.
// - A negative length is refused with -1 before anything changes.
// - Null data or length 0 (and text whose first unit is zero) give -1 after the
//   buffer was resized and cleared; the tree is emptied first, so it never
//   holds strings into a replaced buffer.
// - Nesting is limited to CWXML_MAX_DEPTH levels (the element Parse starts on
//   is level 1): a child that would stand deeper fails like a child without
//   its end tag (the parent keeps the children before it, its value is null).
//   This bounds the recursion of the reader and of copying, writing and
//   destroying any tree the reader built. Deeper trees built with the setters
//   recurse once per level in those operations; keeping them shallow enough
//   for the stack is the caller's business.
// - The wide buffer is sized to the byte count rounded up to whole units plus
//   one zero unit, so a trailing partial unit is still followed by a zero
//   unit; its data length is the byte count given. Every scan stops at that
//   zero unit. Loading from a range inside the document's own buffer is safe.
// - The 8-bit loader converts a zero-terminated copy of exactly the n bytes.
//
// Writer: wide form appends 4-byte units, no BOM, no terminator. The 8-bit
// form reserves one byte per wide character and converts into those bytes
// (locale encoding, WideCharToMultiByte): characters needing more than one
// byte do not fit; the output is then cut after the last whole character that
// fits and the rest of the reserved bytes are zero.
//
// Storage: nodes and attributes allocate through class-specific operator
// new and delete (xmlpool.h): create them with `new` (the plain, nothrow or
// placement form) and destroy them with `delete`; `::new` paired with
// `delete` is not supported. The reader cuts the objects of one load from
// shared chunks; a chunk is freed when its last object is.
//
// Threads: no locks; one tree per thread at a time.
#pragma once

#include <cstddef>
#include <new>

#include "cwbase/core/block.h"
#include "cwbase/core/ptarray.h"

class CWXMLPool;

// Deepest nesting level the reader builds (the root is level 1).
constexpr int CWXML_MAX_DEPTH = 1000;

class CWXMLProp {
 public:
  CWXMLProp();
  CWXMLProp(const CWXMLProp&) = delete;
  CWXMLProp& operator=(const CWXMLProp&) = delete;
  virtual ~CWXMLProp();

  static void* operator new(size_t size);
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(size_t size, CWXMLPool& pool);
  static void* operator new(size_t, void* where) noexcept { return where; }
  static void operator delete(void* object, size_t size) noexcept;
  static void operator delete(void* object, const std::nothrow_t&) noexcept;
  static void operator delete(void* object, CWXMLPool& pool) noexcept;
  static void operator delete(void*, void*) noexcept {}

  // Takes one attribute from the front of an attribute list (cut in place,
  // borrowed); returns where the next begins, or null when the list ends.
  wchar_t* Init(wchar_t* text);
  int IsValid();
  void SetName(wchar_t const* name);
  void SetValue(wchar_t const* value);

  wchar_t* m_pName;
  wchar_t* m_pValue;
  int m_bOwnName;
  int m_bOwnValue;
};

class CWXMLNode {
 public:
  CWXMLNode();
  explicit CWXMLNode(CWXMLNode* parent);
  CWXMLNode(const CWXMLNode&) = delete;
  virtual ~CWXMLNode();

  static void* operator new(size_t size);
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void* operator new(size_t size, CWXMLPool& pool);
  static void* operator new(size_t, void* where) noexcept { return where; }
  static void operator delete(void* object, size_t size) noexcept;
  static void operator delete(void* object, const std::nothrow_t&) noexcept;
  static void operator delete(void* object, CWXMLPool& pool) noexcept;
  static void operator delete(void*, void*) noexcept {}

  // Returns the node to its newly constructed state, keeping m_pParent.
  void CleanUp();

  wchar_t* GetName() { return m_pName; }
  wchar_t* GetValue() { return m_pValue; }
  int IsNameEquals(wchar_t const* name);
  int GetChildCount();
  CWXMLNode* GetChildAt(int index);
  CWXMLNode* GetChildNode(wchar_t const* name);
  wchar_t* GetPropertyValue(wchar_t const* name);
  long GetPropertyValueLong(wchar_t const* name);
  int IsPropertyEquals(wchar_t const* name, wchar_t const* value);

  void SetName(wchar_t const* name);
  void SetValue(wchar_t const* value);
  void SetValue(long value);
  void SetValueA(char const* value);
  void SetPropertyValue(wchar_t const* name, wchar_t const* value);
  void SetPropertyValue(wchar_t const* name, long value);
  CWXMLNode* AddChildNode(wchar_t const* name);

  // Deep copy of the source (owned strings only).
  CWXMLNode& operator=(CWXMLNode& source);

  // Reads one element from `text` (modified in place; must outlive the
  // borrowed strings). Returns the position after the element, or null.
  wchar_t* Parse(wchar_t* text);
  // Cuts the name at its first space and appends the attributes after it.
  void ExtractPropsFromName(wchar_t* text);

  int SaveToXMLStream(CWBlock& block, long depth = 0);
  int SaveToXMLStreamAscii(CWBlock& block, long depth = 0);

  CWXMLNode* m_pParent;
  CWPtArray m_Children;  // of CWXMLNode*, owned
  CWPtArray m_Props;     // of CWXMLProp*, owned
  wchar_t* m_pName;
  wchar_t* m_pValue;
  int m_bOwnName;
  int m_bOwnValue;
};

class CWXMLDocument : public CWXMLNode {
 public:
  CWXMLDocument();
  CWXMLDocument(const CWXMLDocument&) = delete;
  ~CWXMLDocument() override;

  // Copy a tree into the node part; m_Buffer is left as it is.
  CWXMLDocument& operator=(CWXMLNode& source);
  CWXMLDocument& operator=(CWXMLDocument& source);

  // Wide text: `length` bytes of 32-bit wchar_t units. 0 or -1.
  int LoadFromStream(unsigned char* data, int length);
  // 8-bit text in the locale's encoding. 0 or -1.
  int LoadFromStreamAscii(unsigned char* data, int length);

  // The declaration, then the root element.
  int SaveToXMLStream(CWBlock& block, long depth = 0);
  int SaveToXMLStreamAscii(CWBlock& block, long depth = 0);

  CWBlock m_Buffer;

 private:
  int LoadWide(unsigned char* data, unsigned long size);
};
