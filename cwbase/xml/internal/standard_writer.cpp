// The standard writer's elements and text: names, attribute values and
// character data escaped in runs (ASCII narrowed sixteen units at a time up
// to the next unit that needs a look), and the walk of the tree with an
// explicit stack, so that no depth of tree recurses.
#include "cwbase/xml/internal/standard_writer.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "cwbase/xml/internal/props.h"
#include "cwbase/xml/internal/scan.h"
#include "cwbase/xml/internal/xmlchars.h"

namespace cwbase_internal {
namespace {

template <typename T>
inline T* Entry(CWPtArray& list, int i) {
  return static_cast<T*>(list.GetMemPtr()[i]);
}

inline uint32_t CodeOf(wchar_t unit) {
  return static_cast<uint32_t>(unit);
}

}  // namespace

// Growing the length with SetSize copies the whole old storage, so what was
// written past the length comes along.
__attribute__((noinline)) void XmlStandardWriter::Grow(size_t n) {
  constexpr size_t kLeast = 16384;
  if (n > ULONG_MAX / 4 || m_Capacity > ULONG_MAX / 4) throw std::bad_alloc();
  const size_t wanted = std::max(m_Capacity * 2, m_Pos + n + kLeast);
  m_pBase = static_cast<char*>(m_Block.SetSize(static_cast<unsigned long>(wanted)));
  m_Capacity = wanted;
}

// "&#<decimal>;".
void XmlStandardWriter::Reference(uint32_t c) {
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

void XmlStandardWriter::Indent(long level) {
  if (level <= 0 || m_Indent == CWXML_INDENT_NONE) return;
  const auto count = static_cast<size_t>(level);
  const size_t width = m_Indent < 0 ? 1 : static_cast<size_t>(m_Indent);
  if (count > ULONG_MAX / 4 / width) throw std::bad_alloc();
  const size_t n = count * width;
  std::memset(Room(n), m_Indent < 0 ? '\t' : ' ', n);
  m_Pos += n;
}

// A name with the markup around it: "<" before a start tag's name, "</"
// and ">" around an end tag's, " " and "=\"" around an attribute's. False
// when it is not an XML name. Names of ASCII characters, the common kind,
// are checked through the class table as they are copied, together with
// their markup; any other goes through the full rules.
template <int kForm>
bool XmlStandardWriter::Name(const wchar_t* name) {
  constexpr size_t kBefore = kForm == kEndTag ? 2 : 1;
  constexpr size_t kAfter = kForm == kStartTag ? 0 : kForm == kEndTag ? 1 : 2;
  constexpr char kOpen[] = {kForm == kAttributeName ? ' ' : '<', '/'};
  constexpr char kClose[] = {kForm == kEndTag ? '>' : '=', '"'};
  if (!name) return Fail(CWXML_ERROR_NAME, m_Pos + kBefore);
  constexpr size_t kShort = 64;
  char* out = Room(kBefore + kShort + kAfter);
  std::memcpy(out, kOpen, kBefore);
  out += kBefore;
  uint32_t want = kXmlNameStart;
  for (size_t i = 0; i < kShort; ++i, want = kXmlNameChar) {
    const uint32_t u = CodeOf(name[i]);
    if (u < 0x80 && (kXmlCharClass[u] & want)) {
      out[i] = static_cast<char>(u);
    } else {
      if (u != 0 || i == 0) break;
      std::memcpy(out + i, kClose, kAfter);
      m_Pos += kBefore + i + kAfter;
      return true;
    }
  }
  if (!XmlIsName(name)) return Fail(CWXML_ERROR_NAME, m_Pos + kBefore);
  Raw(kOpen, kBefore);
  for (; *name; ++name) Character(CodeOf(*name));
  Raw(kClose, kAfter);
  return true;
}

// One unit that a run of copied text stops at.
bool XmlStandardWriter::Escape(uint32_t c, bool attribute) {
  if (!XmlIsChar(c)) return Fail(CWXML_ERROR_ENCODING, m_Pos);
  if (c == '&') {
    Raw("&amp;");
  } else if (c == '<') {
    Raw("&lt;");
  } else if (c == '>' && !attribute) {
    // Needed only to keep "]]>" out of text, wherever the "]]" came from.
    if (m_Pos >= m_Start + 2 && m_pBase[m_Pos - 1] == ']' && m_pBase[m_Pos - 2] == ']')
      Raw("&gt;");
    else
      Raw(">");
  } else if (c == '"' && attribute) {
    Raw("&quot;");
  } else if (c == '\n' && !attribute) {
    LineEnd();  // reached only when writing CR LF line ends
  } else if (c == '\r' || XmlIsControl(c) || (attribute && (c == '\t' || c == '\n'))) {
    Reference(c);
  } else {
    Character(c);
  }
  return true;
}

// A text or attribute value of n units.
template <bool kAttribute, bool kCrlf>
inline __attribute__((always_inline)) bool XmlStandardWriter::Escaped(const wchar_t* s, size_t n) {
  constexpr uint32_t kStops = kAttribute ? kXmlAttributeEscape
                              : kCrlf    ? kXmlTextEscapeCrlf
                                         : kXmlTextEscape;
  return Runs<kStops>(s, n, [this](uint32_t c, size_t*) {
    if (c >= 0xA0 && c < 0xD800) {  // letters and punctuation beyond ASCII, written as they are
      m_Pos += EncodeUtf8Unit(static_cast<int32_t>(c),
                              reinterpret_cast<unsigned char*>(m_pBase + m_Pos));
      return true;
    }
    return Escape(c, kAttribute);
  });
}

inline __attribute__((always_inline)) bool XmlStandardWriter::Text(const wchar_t* s) {
  if (!s || !*s) return true;
  const size_t n = std::wcslen(s);
  return m_Crlf ? Escaped<false, true>(s, n) : Escaped<false, false>(s, n);
}

bool XmlStandardWriter::TextNode(const wchar_t* s) {
  return Text(s);
}

// An attribute value and its closing quote. Its first units are copied one
// at a time up to the first that needs a look, with no length needed: the
// escape class holds the zero unit (a control). What follows goes the way
// of every value.
inline __attribute__((always_inline)) bool XmlStandardWriter::AttributeValue(const wchar_t* s) {
  constexpr size_t kFirst = 16;
  char* out = Room(kFirst + 1);
  size_t i = 0;
  while (i < kFirst && !(XmlClassOf(s[i]) & kXmlAttributeEscape)) {
    out[i] = static_cast<char>(s[i]);
    ++i;
  }
  if (s[i] == 0) {
    out[i] = '"';
    m_Pos += i + 1;
    return true;
  }
  m_Pos += i;
  if (!Escaped<true, false>(s + i, std::wcslen(s + i))) return false;
  Raw("\"");
  return true;
}

bool XmlStandardWriter::Start(CWXMLNode* node, long depth, bool layout, Frame* frame) {
  const size_t at = m_Pos;
  if (!Name<kStartTag>(node->m_pName)) return false;
  for (int i = 0; i < node->m_Props.GetSize(); ++i) {
    auto* prop = Entry<CWXMLProp>(node->m_Props, i);
    if (!prop || !prop->m_pName || !prop->m_pValue) continue;
    if (!Name<kAttributeName>(prop->m_pName) || !AttributeValue(prop->m_pValue)) return false;
  }
  if (!XmlPropsUnique(node->m_Props)) return Fail(CWXML_ERROR_ATTRIBUTE, at);
  // What is written inside: children (nameless elements are left out) and
  // whether any of them is character data.
  bool children = false, text = false;
  for (int i = 0, n = node->m_Children.GetSize(); i < n && !text; ++i) {
    CWXMLNode* child = Entry<CWXMLNode>(node->m_Children, i);
    if (!child || (child->m_Kind == CWXML_NODE_ELEMENT && !child->m_pName)) continue;
    children = true;
    text = child->m_Kind == CWXML_NODE_TEXT || child->m_Kind == CWXML_NODE_CDATA;
  }
  const wchar_t* value = node->m_pValue;
  frame->m_pNode = nullptr;
  if (!value && !children) {
    Raw("/>");
    return true;
  }
  Raw(">");
  if (value && *value) {
    if (!Text(value)) return false;
    text = true;
  } else if (value && children && !text) {
    Raw("<![CDATA[]]>");  // an empty value, told apart from none
  }
  if (children) {
    *frame = {node, depth, 0, layout && !text};
    return true;
  }
  Name<kEndTag>(node->m_pName);
  return true;
}

void XmlStandardWriter::End(const Frame& frame) {
  if (frame.m_LaysOut) Break(frame.m_Depth);
  Name<kEndTag>(frame.m_pNode->m_pName);
}

bool XmlStandardWriter::Tree(CWXMLNode* root, long depth, bool layout) {
  if (root->m_Kind == CWXML_NODE_DOCTYPE) return Doctype(root->m_pValue);
  if (root->m_Kind != CWXML_NODE_ELEMENT) return Other(root);
  if (!root->m_pName) return Fail(CWXML_ERROR_NO_ROOT, m_Pos);
  std::vector<Frame> stack;
  Frame frame;
  if (!Start(root, depth, layout, &frame)) return false;
  if (frame.m_pNode) stack.push_back(frame);
  while (!stack.empty()) {
    // The children of the innermost open element, up to one that opens
    // another level (then back to the top of the stack) or the last.
    const Frame top = stack.back();
    void** children = top.m_pNode->m_Children.GetMemPtr();
    const int count = top.m_pNode->m_Children.GetSize();
    const long level = top.m_Depth + 1;
    int next = top.m_Next;
    frame.m_pNode = nullptr;
    while (next < count && !frame.m_pNode) {
      auto* child = static_cast<CWXMLNode*>(children[next++]);
      if (!child) continue;
      const bool element = child->m_Kind == CWXML_NODE_ELEMENT;
      if (element && !child->m_pName) continue;
      if (top.m_LaysOut) Break(level);
      if (!(element ? Start(child, level, top.m_LaysOut, &frame) : Other(child))) return false;
    }
    if (frame.m_pNode) {
      stack.back().m_Next = next;
      stack.push_back(frame);
    } else {
      End(top);
      stack.pop_back();
    }
  }
  return true;
}

void XmlOutputPosition(const char* text, size_t at, int* line, int* column) {
  int l = 1, c = 1;
  for (size_t i = 0; i < at; ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u == '\n' || (u == '\r' && !(i + 1 < at && text[i + 1] == '\n'))) {
      ++l, c = 1;
    } else if (u != '\r' && (u & 0xC0) != 0x80) {
      ++c;
    }
  }
  *line = l;
  *column = c;
}

}  // namespace cwbase_internal
