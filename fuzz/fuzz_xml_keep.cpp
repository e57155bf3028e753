// Fuzzing of the lossless round trip. Each input is read with
// CWXML_KEEP_ALL; a tree read must be written by SaveXML without refusal
// (indent and line ends picked from the input's length), the output must
// read back with CWXML_KEEP_ALL to the same tree (kinds, names, values,
// attributes, prolog and epilog; a kept declaration compared by presence,
// since the writer names its encoding UTF-8), and writing that tree again
// must give the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "cwbase/xml/xmlnode.h"
#include "fuzz_util.h"

namespace {

// One node as text: its kind, name, attributes and value, then its children
// the same way, without recursion (the tree may be CWXML_MAX_DEPTH deep).
std::wstring Dump(CWXMLNode& root) {
  std::wstring out;
  struct Item {
    CWXMLNode* m_pNode;
    bool m_bClose;
  };
  std::vector<Item> stack{{&root, false}};
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    if (item.m_bClose) {
      out += L")";
      continue;
    }
    CWXMLNode* node = item.m_pNode;
    out +=
        L"(" + std::to_wstring(node->GetKind()) + L" " + (node->GetName() ? node->GetName() : L"#");
    for (int i = 0; i < node->m_Props.GetSize(); ++i) {
      auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
      out += L" " + std::wstring(prop->m_pName) + L"=\"" + prop->m_pValue + L"\"";
    }
    out += node->GetValue() ? L" \"" + std::wstring(node->GetValue()) + L"\"" : L" null";
    stack.push_back({node, true});
    for (int i = node->GetChildCount() - 1; i >= 0; --i) {
      CWXMLNode* child = node->GetChildAt(i);
      FUZZ_CHECK(child && child->m_pParent == node);
      stack.push_back({child, false});
    }
  }
  return out;
}

bool IsDeclaration(CWXMLNode* node) {
  const wchar_t* v = node->GetValue();
  return node->GetKind() == CWXML_NODE_PI && v && v[0] == L'x' && v[1] == L'm' && v[2] == L'l' &&
         (v[3] == 0 || v[3] == L' ' || v[3] == L'\t' || v[3] == L'\n');
}

std::wstring Whole(CWXMLDocument& doc) {
  std::wstring out;
  for (CWPtArray* list : {&doc.m_Prolog, &doc.m_Epilog}) {
    for (int i = 0; i < list->GetSize(); ++i) {
      auto* node = static_cast<CWXMLNode*>(list->GetAt(i));
      out +=
          list == &doc.m_Prolog && i == 0 && IsDeclaration(node) ? L"(declaration)" : Dump(*node);
    }
    if (list == &doc.m_Prolog) out += L"|" + Dump(doc) + L"|";
  }
  return out;
}

std::string Bytes(CWBlock& block) {
  return std::string(static_cast<const char*>(block.GetBuffer()), block.GetSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CWXMLDocument doc;
  if (doc.LoadXML(data, static_cast<long>(size), CWXML_KEEP_ALL) != 0) return 0;
  CWXMLSaveOptions options;
  options.indent = static_cast<int>(size % 4) - 1;
  options.crlf = size % 8 >= 4;
  // A declaration only when the input has one: a supplied one would be a
  // new prolog node.
  options.declaration =
      doc.m_Prolog.GetSize() > 0 && IsDeclaration(static_cast<CWXMLNode*>(doc.m_Prolog.GetAt(0)));
  CWBlock first, second;
  FUZZ_CHECK(doc.SaveXML(first, 0, options) == 0);
  CWXMLDocument back;
  FUZZ_CHECK(back.LoadXML(static_cast<unsigned char*>(first.GetBuffer()),
                          static_cast<long>(first.GetSize()), CWXML_KEEP_ALL) == 0);
  FUZZ_CHECK(Whole(doc) == Whole(back));
  FUZZ_CHECK(back.SaveXML(second, 0, options) == 0);
  FUZZ_CHECK(Bytes(first) == Bytes(second));
  return 0;
}
