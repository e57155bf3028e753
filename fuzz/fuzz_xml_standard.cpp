// Fuzzing of the standard XML reader and writer. Each input is read with
// LoadXML. A failure must leave an empty tree and a fault position inside
// the input. A success must give a tree that SaveXML writes without
// refusal (with a layout picked from the input's length), that LoadXML
// reads back to the same tree but for white space in values (SaveXML
// writes character data as it stands, and LoadXML trims literal white space
// at the ends of a value), and from there on writing and reading give the
// same bytes and the same tree again. The same input is read again
// with CWXML_KEEP_ALL: it must succeed or fail as the default load does, at
// the same place, and keep the same elements, every other node well formed
// (no name, attributes or children, a value), in the tree and in the
// prolog and epilog lists.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "fuzz_util.h"
#include "testing/xmltree.h"

namespace {

// XmlDump with the white space left out of every value, and no value shown
// as an empty one.
std::wstring Stripped(CWXMLNode& node) {
  std::wstring s = node.m_pName ? node.m_pName : L"#";
  for (int i = 0; i < node.m_Props.GetSize(); ++i) {
    auto* p = static_cast<CWXMLProp*>(node.m_Props.GetAt(i));
    s += std::wstring(L" ") + p->m_pName + L"=" + p->m_pValue;
  }
  s += L"\"";
  for (const wchar_t* v = node.m_pValue; v && *v; ++v)
    if (*v != L' ' && *v != L'\t' && *v != L'\n' && *v != L'\r') s += *v;
  s += L"\"{";
  for (int i = 0; i < node.GetChildCount(); ++i) s += Stripped(*node.GetChildAt(i)) + L" ";
  return s + L"}";
}

std::string Bytes(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

// Depth of the tree, without recursion.
int Depth(CWXMLNode& root) {
  struct Item {
    CWXMLNode* m_pNode;
    int m_Level;
  };
  std::vector<Item> stack;
  int deepest = 0;
  stack.push_back({&root, 1});
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    deepest = item.m_Level > deepest ? item.m_Level : deepest;
    for (int i = 0; i < item.m_pNode->GetChildCount(); ++i) {
      CWXMLNode* child = item.m_pNode->GetChildAt(i);
      FUZZ_CHECK(child && child->GetName() && child->m_pParent == item.m_pNode);
      stack.push_back({child, item.m_Level + 1});
    }
  }
  return deepest;
}

// The elements of a tree, names and attributes only, without recursion.
std::wstring Elements(CWXMLNode& root) {
  std::wstring out;
  std::vector<CWXMLNode*> stack{&root};
  while (!stack.empty()) {
    CWXMLNode* node = stack.back();
    stack.pop_back();
    out += node->GetName();
    for (int i = 0; i < node->m_Props.GetSize(); ++i) {
      auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
      out += L" " + std::wstring(prop->m_pName) + L"=" + prop->m_pValue;
    }
    out += L"{";
    for (int i = node->GetChildCount() - 1; i >= 0; --i) {
      CWXMLNode* child = node->GetChildAt(i);
      FUZZ_CHECK(child && child->m_pParent == node);
      if (child->IsElement()) {
        stack.push_back(child);
      } else {
        FUZZ_CHECK(child->GetKind() > 0 && child->GetKind() <= CWXML_NODE_DOCTYPE);
        FUZZ_CHECK(!child->GetName() && child->GetValue() && child->GetChildCount() == 0 &&
                   child->m_Props.GetSize() == 0);
        FUZZ_CHECK(child->GetKind() != CWXML_NODE_DOCTYPE);
      }
    }
  }
  return out;
}

// Nodes kept before or after the root: never an element, nor CDATA.
void CheckOutside(CWPtArray& list) {
  for (int i = 0; i < list.GetSize(); ++i) {
    auto* node = static_cast<CWXMLNode*>(list.GetAt(i));
    FUZZ_CHECK(node && !node->m_pParent && !node->GetName() && node->GetValue());
    FUZZ_CHECK(node->GetKind() != CWXML_NODE_ELEMENT && node->GetKind() != CWXML_NODE_CDATA);
    FUZZ_CHECK(node->GetChildCount() == 0 && node->m_Props.GetSize() == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CWXMLDocument doc, kept;
  const long length = static_cast<long>(size);
  const int keptResult = kept.LoadXML(data, length, CWXML_KEEP_ALL);
  if (doc.LoadXML(data, length) != 0) {
    const CWXMLError& e = doc.GetLastError();
    FUZZ_CHECK(e.code != 0 && e.message && e.offset >= 0 && e.offset <= length);
    FUZZ_CHECK(std::strlen(e.detail) < sizeof e.detail);
    FUZZ_CHECK(!doc.GetName() && doc.GetChildCount() == 0 && doc.m_Props.GetSize() == 0);
    const CWXMLError& k = kept.GetLastError();
    FUZZ_CHECK(keptResult == -1 && k.code == e.code && k.offset == e.offset);
    FUZZ_CHECK(std::strcmp(k.detail, e.detail) == 0);
    FUZZ_CHECK(!kept.GetName() && kept.GetChildCount() == 0 && kept.m_Props.GetSize() == 0);
    FUZZ_CHECK(kept.m_Prolog.GetSize() == 0 && kept.m_Epilog.GetSize() == 0);
    return 0;
  }
  FUZZ_CHECK(keptResult == 0);
  FUZZ_CHECK(Elements(kept) == Elements(doc));
  CheckOutside(kept.m_Prolog);
  CheckOutside(kept.m_Epilog);
  FUZZ_CHECK(doc.GetLastError().code == 0 && doc.GetName());
  FUZZ_CHECK(Depth(doc) <= CWXML_MAX_DEPTH);

  CWXMLSaveOptions options;
  options.indent = static_cast<int>(size % 4) - 1;
  options.crlf = size % 8 >= 4;
  CWBlock first;
  FUZZ_CHECK(doc.SaveXML(first, 0, options) == 0);
  CWXMLDocument back;
  FUZZ_CHECK(back.LoadXML(static_cast<unsigned char*>(first.GetBuffer()),
                          static_cast<long>(first.GetSize())) == 0);
  FUZZ_CHECK(Stripped(doc) == Stripped(back));
  CWBlock second, third;
  FUZZ_CHECK(back.SaveXML(second, 0, options) == 0);
  CWXMLDocument again;
  FUZZ_CHECK(again.LoadXML(static_cast<unsigned char*>(second.GetBuffer()),
                           static_cast<long>(second.GetSize())) == 0);
  FUZZ_CHECK(XmlDump(back) == XmlDump(again));
  FUZZ_CHECK(again.SaveXML(third, 0, options) == 0);
  FUZZ_CHECK(Bytes(second) == Bytes(third));
  return 0;
}
