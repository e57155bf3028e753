// CWXMLNode::SaveXML and CWXMLDocument::SaveXML: the standard writer. It
// walks the tree with an explicit stack (no recursion, whatever the depth),
// escapes as XML requires and appends UTF-8 to the block. Text is copied in
// runs: ASCII is narrowed sixteen units at a time up to the next unit that
// needs escaping or is not ASCII, which goes on its own. Anything it cannot write as XML makes it
// give up and return the block to its length before the call.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "cwbase/text/internal/utf8_codec.h"
#include "cwbase/xml/internal/props.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::kXmlAttributeEscape;
using cwbase_internal::kXmlCharClass;
using cwbase_internal::kXmlNameChar;
using cwbase_internal::kXmlNameStart;
using cwbase_internal::kXmlTextEscape;
using cwbase_internal::kXmlWhite;
using cwbase_internal::XmlIsChar;
using cwbase_internal::XmlIsControl;
using cwbase_internal::XmlIsName;
using cwbase_internal::XmlNarrowRun;
using cwbase_internal::XmlSearch;
using cwbase_internal::XmlTrimBack;

// The entries of a node's child or attribute list, read in place.
template <typename T>
inline T* Entry(CWPtArray& list, int i) {
  return static_cast<T*>(list.GetMemPtr()[i]);
}

// A wide unit as the code it holds (units are 32 bits).
inline uint32_t CodeOf(wchar_t unit) {
  return static_cast<uint32_t>(unit);
}

// Values longer than this go on a line of their own, as with the exact writer.
constexpr size_t kLongValue = 32;

// The writer puts its output straight into the block's storage past its
// length, growing the storage by doubling (the block's own growth adds a
// fixed amount, which would copy a large output over and over); Finish sets
// the length once at the end.
class Writer {
 public:
  explicit Writer(CWBlock& block)
      : m_Block(block),
        m_pBase(static_cast<char*>(block.GetBuffer())),
        m_Pos(block.GetSize()),
        m_Capacity(block.GetCapacity()) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Writes `root` and its subtree; false when the tree cannot be written.
  bool Tree(CWXMLNode* root, long depth);
  // Makes what was written the block's data.
  void Finish() { m_Block.SetSize(static_cast<unsigned long>(m_Pos)); }

 private:
  struct Frame {
    CWXMLNode* m_pNode;
    long m_Depth;
    int m_Next;  // the next child to write
  };

  // Room for n more bytes at m_pBase + m_Pos.
  char* Room(size_t n) {
    if (n > m_Capacity - m_Pos) Grow(n);
    return m_pBase + m_Pos;
  }
  // Growing the length with SetSize copies the whole old storage, so what
  // was written past the length comes along.
  __attribute__((noinline)) void Grow(size_t n) {
    constexpr size_t kLeast = 16384;
    if (n > ULONG_MAX / 4 || m_Capacity > ULONG_MAX / 4) throw std::bad_alloc();
    const size_t wanted = std::max(m_Capacity * 2, m_Pos + n + kLeast);
    m_pBase = static_cast<char*>(m_Block.SetSize(static_cast<unsigned long>(wanted)));
    m_Capacity = wanted;
  }
  template <size_t N>
  void Raw(const char (&s)[N]) {
    std::memcpy(Room(N - 1), s, N - 1);
    m_Pos += N - 1;
  }
  void Character(uint32_t c) {
    m_Pos += cwbase_internal::EncodeUtf8Unit(
        static_cast<int32_t>(c),
        reinterpret_cast<unsigned char*>(Room(cwbase_internal::kMaxUtf8Unit)));
  }
  // "&#<decimal>;".
  void Reference(uint32_t c) {
    char digits[10];
    size_t n = 0;
    do digits[n++] = static_cast<char>('0' + c % 10);
    while (c /= 10);
    char* out = Room(n + 3);
    *out++ = '&', *out++ = '#';
    while (n) *out++ = digits[--n];
    *out++ = ';';
    m_Pos = static_cast<size_t>(out - m_pBase);
  }
  void Tabs(long count) {
    if (count <= 0) return;
    const auto n = static_cast<size_t>(count);
    std::memset(Room(n), '\t', n);
    m_Pos += n;
  }
  bool Name(const wchar_t* name);
  template <bool kAttribute>
  bool Escaped(const wchar_t* s, size_t n);
  bool AttributeValue(const wchar_t* s);
  bool Escape(uint32_t c, bool attribute);
  bool Open(CWXMLNode* node, long depth, bool* children);
  static bool HasChildren(CWXMLNode* node);
  void Close(CWXMLNode* node) {
    Raw("</");
    Name(node->m_pName);
    Raw(">\r\n");
  }

  CWBlock& m_Block;
  char* m_pBase;
  size_t m_Pos;  // bytes written, the block's length before the call included
  size_t m_Capacity;
};

// A name; false when it is not an XML name. Names of ASCII characters, the
// common kind, are checked through the class table as they are copied;
// any other goes through the full rules.
bool Writer::Name(const wchar_t* name) {
  if (!name) return false;
  constexpr size_t kShort = 64;
  char* out = Room(kShort);
  uint32_t want = kXmlNameStart;
  for (size_t i = 0; i < kShort; ++i, want = kXmlNameChar) {
    const uint32_t u = CodeOf(name[i]);
    if (u < 0x80 && (kXmlCharClass[u] & want)) {
      out[i] = static_cast<char>(u);
    } else {
      if (u != 0 || i == 0) break;
      m_Pos += i;
      return true;
    }
  }
  if (!XmlIsName(name)) return false;
  for (; *name; ++name) Character(CodeOf(*name));
  return true;
}

// One unit that a run of copied text stops at.
bool Writer::Escape(uint32_t c, bool attribute) {
  if (!XmlIsChar(c)) return false;
  if (c == '&') {
    Raw("&amp;");
  } else if (c == '<') {
    Raw("&lt;");
  } else if (c == '>' && !attribute) {
    Raw("&gt;");
  } else if (c == '"' && attribute) {
    Raw("&quot;");
  } else if (c == '\r' || XmlIsControl(c) || (attribute && (c == '\t' || c == '\n'))) {
    Reference(c);
  } else {
    Character(c);
  }
  return true;
}

// A text or attribute value of n units. In text, literal white space at
// either end is written as references, so that the reader's trimming leaves
// it alone.
template <bool kAttribute>
bool Writer::Escaped(const wchar_t* s, size_t n) {
  constexpr uint32_t kStops = kAttribute ? kXmlAttributeEscape : kXmlTextEscape;
  size_t lead = 0, trail = n;
  if (!kAttribute) {
    lead = XmlSearch<kXmlWhite, false>(s, 0, n, n);
    trail = XmlTrimBack<kXmlWhite>(s, lead, n);
  }
  for (size_t i = 0; i < lead; ++i) Reference(CodeOf(s[i]));
  for (size_t i = lead; i < trail;) {
    // Room for the run and for the unit it stops at in its longest form.
    char* out = Room(trail - i + cwbase_internal::kMaxUtf8Unit);
    const size_t stop = XmlNarrowRun<kStops>(s, i, trail, out);
    m_Pos += stop - i;
    if (stop == trail) break;
    const uint32_t c = CodeOf(s[stop]);
    if (c >= 0xA0 && c < 0xD800) {  // letters and punctuation beyond ASCII, written as they are
      m_Pos += cwbase_internal::EncodeUtf8Unit(static_cast<int32_t>(c),
                                               reinterpret_cast<unsigned char*>(m_pBase + m_Pos));
    } else if (!Escape(c, kAttribute)) {
      return false;
    }
    i = stop + 1;
  }
  for (size_t i = trail; i < n; ++i) Reference(CodeOf(s[i]));
  return true;
}

// An attribute value. Its first units are copied one at a time up to the
// first that needs a look, with no length needed: the escape class holds
// the zero unit (a control). What follows goes the way of every value.
bool Writer::AttributeValue(const wchar_t* s) {
  constexpr size_t kFirst = 16;
  char* out = Room(kFirst);
  size_t i = 0;
  while (i < kFirst && !(cwbase_internal::XmlClassOf(s[i]) & kXmlAttributeEscape)) {
    out[i] = static_cast<char>(s[i]);
    ++i;
  }
  m_Pos += i;
  return s[i] == 0 || Escaped<true>(s + i, std::wcslen(s + i));
}

bool Writer::HasChildren(CWXMLNode* node) {
  for (int i = 0; i < node->m_Children.GetSize(); ++i) {
    CWXMLNode* child = Entry<CWXMLNode>(node->m_Children, i);
    if (child && child->m_pName) return true;
  }
  return false;
}

// The start tag and the value; *children tells whether the children and an
// end tag follow (false: the element is complete).
bool Writer::Open(CWXMLNode* node, long depth, bool* children) {
  Tabs(depth);
  Raw("<");
  if (!Name(node->m_pName)) return false;
  for (int i = 0; i < node->m_Props.GetSize(); ++i) {
    auto* prop = Entry<CWXMLProp>(node->m_Props, i);
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    Raw(" ");
    if (!Name(prop->m_pName)) return false;
    Raw("=\"");
    if (!AttributeValue(prop->m_pValue)) return false;
    Raw("\"");
  }
  if (!cwbase_internal::XmlPropsUnique(node->m_Props)) return false;
  const wchar_t* value = node->m_pValue;
  *children = HasChildren(node);
  if (!value && !*children) {
    Raw("/>\r\n");
    return true;
  }
  Raw(">");
  if (value && *value) {
    const size_t n = std::wcslen(value);
    const bool onItsOwn = n > kLongValue;
    if (onItsOwn) {
      Raw("\r\n");
      Tabs(depth + 1);
    }
    if (!Escaped<false>(value, n)) return false;
    if (onItsOwn && !*children) {
      Raw("\r\n");
      Tabs(depth);
    }
  } else if (value && *children) {
    Raw("<![CDATA[]]>");  // an empty value, told apart from none
  }
  if (*children) {
    Raw("\r\n");
    return true;
  }
  Close(node);
  *children = false;
  return true;
}

bool Writer::Tree(CWXMLNode* root, long depth) {
  std::vector<Frame> stack;
  bool children = false;
  if (!Open(root, depth, &children)) return false;
  if (children) stack.push_back({root, depth, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.m_Next == top.m_pNode->m_Children.GetSize()) {
      Tabs(top.m_Depth);
      Close(top.m_pNode);
      stack.pop_back();
      continue;
    }
    CWXMLNode* child = Entry<CWXMLNode>(top.m_pNode->m_Children, top.m_Next++);
    if (!child || !child->m_pName) continue;
    const long level = top.m_Depth + 1;
    if (!Open(child, level, &children)) return false;
    if (children) stack.push_back({child, level, 0});
  }
  return true;
}

}  // namespace

int CWXMLNode::SaveXML(CWBlock& block, long depth) {
  const unsigned long before = block.GetSize();
  try {
    Writer writer(block);
    if (writer.Tree(this, depth)) {
      writer.Finish();
      return 0;
    }
  } catch (const std::bad_alloc&) {
  }
  block.SetSize(before);
  return -1;
}

int CWXMLDocument::SaveXML(CWBlock& block, long depth) {
  const unsigned long before = block.GetSize();
  try {
    static const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    block.AddData(const_cast<char*>(kDeclaration), sizeof kDeclaration - 1);
  } catch (const std::bad_alloc&) {
    block.SetSize(before);
    return -1;
  }
  if (CWXMLNode::SaveXML(block, depth) == 0) return 0;
  block.SetSize(before);
  return -1;
}

int CWXMLNode::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options) {
  (void)options;
  return SaveXML(block, depth);
}

int CWXMLDocument::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options) {
  (void)options;
  return SaveXML(block, depth);
}
