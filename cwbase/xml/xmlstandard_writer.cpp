// CWXMLNode::SaveXML and CWXMLDocument::SaveXML: the standard writer. It
// walks the tree with an explicit stack (no recursion, whatever the depth),
// escapes as XML requires and appends UTF-8 to the block through a small
// local buffer. Anything it cannot write as XML makes it give up and return
// the block to its length before the call.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "cwbase/text/internal/utf8_reference.h"
#include "cwbase/xml/internal/standard_parser.h"
#include "cwbase/xml/internal/xmlchars.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::XmlIsChar;
using cwbase_internal::XmlIsControl;
using cwbase_internal::XmlIsName;
using cwbase_internal::XmlIsSpace;

// A wide unit as the code it holds (units are 32 bits).
inline uint32_t CodeOf(wchar_t unit) {
  return static_cast<uint32_t>(unit);
}

// Values longer than this go on a line of their own, as with the exact writer.
constexpr size_t kLongValue = 32;

class Writer {
 public:
  explicit Writer(CWBlock& block) : m_Block(block) {}
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Writes `root` and its subtree; false when the tree cannot be written.
  bool Tree(CWXMLNode* root, long depth);
  void Raw(const char* s) { Raw(s, std::strlen(s)); }
  void Flush() {
    if (!m_Used) return;
    Reserve(m_Used);
    m_Block.AddData(m_Buffer, static_cast<unsigned long>(m_Used));
    m_Used = 0;
  }

 private:
  struct Frame {
    CWXMLNode* m_pNode;
    long m_Depth;
    int m_Next;  // the next child to write
  };

  // Room for `n` more bytes in the block, grown by doubling: the block's
  // own growth adds a fixed amount, which would copy a large output over
  // and over.
  void Reserve(size_t n) {
    const unsigned long length = m_Block.GetSize(), capacity = m_Block.GetCapacity();
    if (length + n <= capacity) return;
    unsigned long wanted = capacity * 2;
    if (wanted < length + n + sizeof m_Buffer) wanted = length + n + sizeof m_Buffer;
    m_Block.SetSize(wanted);
    m_Block.SetSize(length);
  }
  void Raw(const char* s, size_t n) {
    if (m_Used + n > sizeof m_Buffer) Flush();
    if (n > sizeof m_Buffer) {
      Reserve(n);
      m_Block.AddData(const_cast<char*>(s), static_cast<unsigned long>(n));
      return;
    }
    std::memcpy(m_Buffer + m_Used, s, n);
    m_Used += n;
  }
  void Character(uint32_t c) {
    if (m_Used + cwbase_internal::kMaxUtf8Unit > sizeof m_Buffer) Flush();
    m_Used += cwbase_internal::ReferenceEncodeUtf8(
        static_cast<int32_t>(c), reinterpret_cast<unsigned char*>(m_Buffer + m_Used));
  }
  void Reference(uint32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "&#%u;", c);
    Raw(text);
  }
  void Tabs(long count) {
    for (long i = 0; i < count; ++i) Raw("\t", 1);
  }
  bool Name(const wchar_t* name) {
    if (!XmlIsName(name)) return false;
    for (; *name; ++name) Character(static_cast<uint32_t>(*name));
    return true;
  }
  bool Escaped(const wchar_t* s, bool attribute);
  bool Open(CWXMLNode* node, long depth, bool* children);
  static bool HasChildren(CWXMLNode* node);
  void Close(CWXMLNode* node) {
    Raw("</");
    Name(node->m_pName);
    Raw(">\r\n");
  }

  CWBlock& m_Block;
  char m_Buffer[4096];
  size_t m_Used = 0;
};

// A text or attribute value. In text, literal white space at either end is
// written as references, so that the reader's trimming leaves it alone.
bool Writer::Escaped(const wchar_t* s, bool attribute) {
  const size_t n = std::wcslen(s);
  size_t lead = 0, trail = n;
  if (!attribute) {
    while (lead < n && XmlIsSpace(static_cast<uint32_t>(s[lead]))) ++lead;
    while (trail > lead && XmlIsSpace(static_cast<uint32_t>(s[trail - 1]))) --trail;
  }
  for (size_t i = 0; i < n; ++i) {
    const uint32_t c = CodeOf(s[i]);
    if (!XmlIsChar(c)) return false;
    if (c == '&') {
      Raw("&amp;");
    } else if (c == '<') {
      Raw("&lt;");
    } else if (c == '>' && !attribute) {
      Raw("&gt;");
    } else if (c == '"' && attribute) {
      Raw("&quot;");
    } else if (c == '\r' || XmlIsControl(c) || i < lead || i >= trail ||
               (attribute && (c == '\t' || c == '\n'))) {
      Reference(c);
    } else {
      Character(c);
    }
  }
  return true;
}

bool Writer::HasChildren(CWXMLNode* node) {
  for (int i = 0; i < node->GetChildCount(); ++i) {
    CWXMLNode* child = node->GetChildAt(i);
    if (child && child->m_pName) return true;
  }
  return false;
}

// The start tag and the value; *children tells whether the children and an
// end tag follow (false: the element is complete).
bool Writer::Open(CWXMLNode* node, long depth, bool* children) {
  Tabs(depth);
  Raw("<", 1);
  if (!Name(node->m_pName)) return false;
  for (int i = 0; i < node->m_Props.GetSize(); ++i) {
    auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    Raw(" ", 1);
    if (!Name(prop->m_pName)) return false;
    Raw("=\"", 2);
    if (!Escaped(prop->m_pValue, true)) return false;
    Raw("\"", 1);
  }
  if (!cwbase_internal::XmlPropsUnique(node->m_Props)) return false;
  const wchar_t* value = node->m_pValue;
  *children = HasChildren(node);
  if (!value && !*children) {
    Raw("/>\r\n");
    return true;
  }
  Raw(">", 1);
  if (value && *value) {
    const bool onItsOwn = std::wcslen(value) > kLongValue;
    if (onItsOwn) {
      Raw("\r\n");
      Tabs(depth + 1);
    }
    if (!Escaped(value, false)) return false;
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
    if (top.m_Next == top.m_pNode->GetChildCount()) {
      Tabs(top.m_Depth);
      Close(top.m_pNode);
      stack.pop_back();
      continue;
    }
    CWXMLNode* child = top.m_pNode->GetChildAt(top.m_Next++);
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
      writer.Flush();
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
