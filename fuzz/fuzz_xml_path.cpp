// Fuzzing of path queries: a small tree is built from the input's end, then
// the path its other bytes spell is compiled and selected from the root and from an inner
// node. A compile either succeeds or names a fault inside the path; every
// match lies in the tree, comes in document order and only once, and the
// first match is SelectFirst's; compiling the same text again gives the same
// result.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cwbase/xml/xmlpath.h"
#include "fuzz_util.h"

namespace {

const wchar_t* const kNames[] = {L"a", L"b", L"c"};

// Builds up to `count` elements under `root`, each a child of an earlier one.
std::vector<CWXMLNode*> BuildTree(FuzzedDataProvider& in, CWXMLNode& root, int count) {
  std::vector<CWXMLNode*> nodes(1, &root);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    CWXMLNode* parent = nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)];
    CWXMLNode* child = parent->AddChildNode(kNames[in.ConsumeIntegralInRange<int>(0, 2)]);
    FUZZ_CHECK(child != nullptr);
    const int props = in.ConsumeIntegralInRange<int>(0, 2);
    for (int p = 0; p < props; ++p)
      child->SetPropertyValue(kNames[in.ConsumeIntegralInRange<int>(0, 2)],
                              in.ConsumeBool() ? L"1" : L"2");
    if (in.ConsumeBool()) child->SetValue(in.ConsumeBool() ? L"1" : L"");
    nodes.push_back(child);
  }
  return nodes;
}

// Document order of every element under `root` (preorder, explicit stack).
std::map<CWXMLNode*, size_t> Order(CWXMLNode& root) {
  std::map<CWXMLNode*, size_t> order;
  std::vector<CWXMLNode*> stack(1, &root);
  while (!stack.empty()) {
    CWXMLNode* n = stack.back();
    stack.pop_back();
    order.emplace(n, order.size());
    for (int i = n->GetChildCount() - 1; i >= 0; --i) stack.push_back(n->GetChildAt(i));
  }
  return order;
}

int PropIndex(CWXMLNode* node, CWXMLProp* prop) {
  for (int i = 0; i < node->m_Props.GetSize(); ++i)
    if (node->m_Props.GetAt(i) == prop) return i;
  return -1;
}

void CheckSelection(const CWXMLPath& path, CWXMLNode* context,
                    const std::map<CWXMLNode*, size_t>& order) {
  CWDynArray<SWXMLMatch> matches;
  const int n = path.SelectAll(context, matches);
  FUZZ_CHECK(n >= 0 && n == matches.GetCount());
  std::pair<long, long> previous(-1, -1);
  for (int i = 0; i < n; ++i) {
    const SWXMLMatch& m = *matches.GetAt(i);
    auto at = order.find(m.node);
    FUZZ_CHECK(at != order.end());
    long index = -1;
    if (m.prop) {
      index = PropIndex(m.node, m.prop);
      FUZZ_CHECK(index >= 0);
    }
    const std::pair<long, long> here(static_cast<long>(at->second), index);
    FUZZ_CHECK(previous < here);  // document order, each once
    previous = here;
  }
  const SWXMLMatch first = path.SelectFirst(context);
  FUZZ_CHECK(n ? first.node == matches.GetAt(0)->node && first.prop == matches.GetAt(0)->prop
               : !first.node && !first.prop);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  CWXMLNode root;
  root.SetName(L"a");
  std::vector<CWXMLNode*> nodes = BuildTree(in, root, in.ConsumeIntegralInRange<int>(0, 24));
  CWXMLNode* inner = nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)];
  // The rest of the input is the path, one unit per byte (so that the
  // dictionary's tokens stand in it as written); bytes from 0x80 stand for
  // units from U+0180, some of them name characters.
  std::wstring text;
  for (uint8_t b : in.ConsumeRemainingBytes<uint8_t>())
    text.push_back(b == 0     ? L'0'
                   : b < 0x80 ? static_cast<wchar_t>(b)
                              : static_cast<wchar_t>(b + 0x100));

  CWXMLPath path;
  const int rc = path.Compile(text.c_str());
  const SWXMLPathError error = path.GetLastError();
  FUZZ_CHECK(rc == 0 || rc == -1);
  FUZZ_CHECK(error.message != nullptr);
  FUZZ_CHECK((rc == 0) == (error.code == CWXML_PATH_ERROR_NONE));
  FUZZ_CHECK(error.offset >= 0 && error.offset <= static_cast<long>(text.size()));
  CWXMLPath again;
  FUZZ_CHECK(again.Compile(text.c_str()) == rc && again.GetLastError().code == error.code &&
             again.GetLastError().offset == error.offset);
  if (rc != 0) return 0;

  const std::map<CWXMLNode*, size_t> order = Order(root);
  CheckSelection(path, &root, order);
  CheckSelection(path, inner, order);
  return 0;
}
