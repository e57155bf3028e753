// Fuzzing of path queries: a small tree is built from the input's end, then
// the path its other bytes spell is compiled and selected from the root and
// from an inner node. A compile either succeeds or names a fault inside the
// path, and compiling the same text again gives the same result; every
// selection equals the literal evaluation of testing/xmlpath_reference.h
// (matches in document order, each once), and the first match is
// SelectFirst's.
#include <cstdint>
#include <string>
#include <vector>

#include "cwbase/xml/xmlpath.h"
#include "fuzz_util.h"
#include "testing/xmlpath_reference.h"

namespace {

const wchar_t* const kNames[] = {L"a", L"b", L"c"};
const wchar_t* const kValues[] = {L"1", L"2", L""};

// Builds up to `count` nodes under `root`, each a child of an earlier one:
// elements named a, b or c (sometimes nameless) with values and attributes
// (names may repeat), and now and then a comment.
std::vector<CWXMLNode*> BuildTree(FuzzedDataProvider& in, CWXMLNode& root, int count) {
  std::vector<CWXMLNode*> nodes(1, &root);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    CWXMLNode* parent = nodes[in.ConsumeIntegralInRange<size_t>(0, nodes.size() - 1)];
    auto* child = new CWXMLNode(parent);
    parent->m_Children.Add(child);
    const int kind = in.ConsumeIntegralInRange<int>(0, 15);
    if (kind == 0) {
      child->m_Kind = CWXML_NODE_COMMENT;
      child->SetValue(L"1");
      continue;
    }
    if (kind != 1) child->SetName(kNames[kind % 3]);
    if (in.ConsumeBool()) child->SetValue(kValues[in.ConsumeIntegralInRange<int>(0, 2)]);
    for (int p = in.ConsumeIntegralInRange<int>(0, 2); p > 0; --p) {
      auto* prop = new CWXMLProp();
      prop->SetName(kNames[in.ConsumeIntegralInRange<int>(0, 2)]);
      prop->SetValue(kValues[in.ConsumeIntegralInRange<int>(0, 2)]);
      child->m_Props.Add(prop);
    }
    nodes.push_back(child);
  }
  return nodes;
}

void CheckSelection(const CWXMLPath& path, const cwbase_internal::PathProgram& program,
                    CWXMLNode* root, CWXMLNode* context) {
  const std::vector<SWXMLMatch> want = xmlpath_reference::Select(program, root, context);
  CWDynArray<SWXMLMatch> got;
  const int n = path.SelectAll(context, got);
  FUZZ_CHECK(n == static_cast<int>(want.size()) && n == got.GetCount());
  for (int i = 0; i < n; ++i)
    FUZZ_CHECK(got.GetAt(i)->node == want[i].node && got.GetAt(i)->prop == want[i].prop);
  const SWXMLMatch first = path.SelectFirst(context);
  FUZZ_CHECK(n ? first.node == want[0].node && first.prop == want[0].prop
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
  cwbase_internal::PathProgram program;
  SWXMLPathError again;
  FUZZ_CHECK(cwbase_internal::CompilePath(text.c_str(), program, again) == rc &&
             again.code == error.code && again.offset == error.offset);
  if (rc != 0) return 0;
  CheckSelection(path, program, &root, &root);
  CheckSelection(path, program, &root, inner);
  return 0;
}
