// Editing a tree beside the exact operations: children inserted, removed
// and detached at an index, attributes walked and removed, the typed
// getters of values, and the lists of nodes around a document's root.
#include <cwchar>
#include <new>
#include <vector>

#include "cwbase/xml/internal/tree.h"
#include "cwbase/xml/internal/typed_value.h"
#include "cwbase/xml/xmlnode.h"

namespace {

CWXMLNode* ChildAt(CWPtArray& list, int i) {
  return static_cast<CWXMLNode*>(list.GetAt(i));
}

// An owned copy of a borrowed string field; false when out of memory (the
// field is then unchanged).
bool Own(wchar_t*& field, int& own) {
  if (own || !field) return true;
  const size_t n = wcslen(field) + 1;
  auto* copy = new (std::nothrow) wchar_t[n];
  if (!copy) return false;
  wmemcpy(copy, field, n);
  field = copy;
  own = 1;
  return true;
}

bool OwnNode(CWXMLNode* node) {
  bool ok = Own(node->m_pName, node->m_bOwnName) && Own(node->m_pValue, node->m_bOwnValue);
  for (int i = 0; ok && i < node->m_Props.GetSize(); ++i)
    if (auto* p = static_cast<CWXMLProp*>(node->m_Props.GetAt(i)))
      ok = Own(p->m_pName, p->m_bOwnName) && Own(p->m_pValue, p->m_bOwnValue);
  return ok;
}

}  // namespace

bool cwbase_internal::XmlOwnSubtree(CWXMLNode* root) {
  if (!root->m_Children.GetSize()) return OwnNode(root);  // a leaf needs no stack
  try {
    std::vector<CWXMLNode*> stack{root};
    while (!stack.empty()) {
      CWXMLNode* node = stack.back();
      stack.pop_back();
      if (!OwnNode(node)) return false;
      for (int i = 0; i < node->m_Children.GetSize(); ++i)
        if (CWXMLNode* c = ChildAt(node->m_Children, i)) stack.push_back(c);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void cwbase_internal::XmlDestroyNodes(CWPtArray& list) {
  for (int i = 0; i < list.GetSize(); ++i) delete static_cast<CWXMLNode*>(list.GetAt(i));
  list.RemoveAll();
}

void cwbase_internal::XmlCopyNodes(CWPtArray& to, CWPtArray& from) {
  XmlDestroyNodes(to);
  for (int i = 0; i < from.GetSize(); ++i) {
    auto* node = static_cast<CWXMLNode*>(from.GetAt(i));
    if (!node) continue;
    auto* copy = new (std::nothrow) CWXMLNode();
    if (!copy) continue;
    *copy = *node;
    if (!to.Add(copy)) delete copy;
  }
}

// ---- children ----

int CWXMLNode::InsertChildNode(int index, CWXMLNode* child) {
  const int count = m_Children.GetSize();
  if (!child || index < 0 || index > count) return 0;
  // This node inside the child's subtree: the tree would hold itself.
  if (cwbase_internal::XmlInSubtree(child, this)) return 0;
  // Still owned by a node: inserting it would give it two owners.
  if (child->m_pParent && child->m_pParent->m_Children.Find(child) >= 0) return 0;
  if (index == count) {
    if (!m_Children.Add(child)) return 0;
  } else {
    m_Children.InsertAt(index, child);  // reports nothing: the count tells
    if (m_Children.GetSize() != count + 1) return 0;
  }
  child->m_pParent = this;
  return 1;
}

int CWXMLNode::RemoveChildAt(int index) {
  if (index < 0 || index >= m_Children.GetSize()) return 0;
  CWXMLNode* child = ChildAt(m_Children, index);
  m_Children.RemoveAt(index);
  delete child;
  return 1;
}

int CWXMLNode::RemoveChildNode(CWXMLNode* child) {
  return child ? RemoveChildAt(m_Children.Find(child)) : 0;
}

CWXMLNode* CWXMLNode::DetachChildAt(int index) {
  CWXMLNode* child = GetChildAt(index);
  if (!child || !cwbase_internal::XmlOwnSubtree(child)) return nullptr;
  m_Children.RemoveAt(index);
  child->m_pParent = nullptr;
  return child;
}

CWXMLNode* CWXMLNode::DetachChildNode(CWXMLNode* child) {
  return child ? DetachChildAt(m_Children.Find(child)) : nullptr;
}

int CWXMLNode::GetChildIndex(CWXMLNode* child) {
  return child ? m_Children.Find(child) : -1;
}

// ---- attributes ----

int CWXMLNode::GetPropertyCount() {
  return m_Props.GetSize();
}

CWXMLProp* CWXMLNode::GetPropertyAt(int index) {
  if (index < 0 || index >= m_Props.GetSize()) return nullptr;
  return static_cast<CWXMLProp*>(m_Props.GetAt(index));
}

int CWXMLNode::RemovePropertyAt(int index) {
  if (index < 0 || index >= m_Props.GetSize()) return 0;
  CWXMLProp* prop = GetPropertyAt(index);
  m_Props.RemoveAt(index);
  delete prop;
  return 1;
}

int CWXMLNode::RemoveProperty(wchar_t const* name) {
  if (!name) return 0;
  int removed = 0;
  for (int i = m_Props.GetSize() - 1; i >= 0; --i) {
    CWXMLProp* p = GetPropertyAt(i);
    if (p && p->m_pName && wcscmp(p->m_pName, name) == 0) removed += RemovePropertyAt(i);
  }
  return removed;
}

// ---- typed values ----

int CWXMLNode::QueryValueLong(long* value) {
  return cwbase_internal::XmlReadLong(m_pValue, value);
}

int CWXMLNode::QueryValueDouble(double* value) {
  return cwbase_internal::XmlReadDouble(m_pValue, value);
}

int CWXMLNode::QueryValueBool(bool* value) {
  return cwbase_internal::XmlReadBool(m_pValue, value);
}

int CWXMLNode::QueryPropertyLong(wchar_t const* name, long* value) {
  return cwbase_internal::XmlReadLong(GetPropertyValue(name), value);
}

int CWXMLNode::QueryPropertyDouble(wchar_t const* name, double* value) {
  return cwbase_internal::XmlReadDouble(GetPropertyValue(name), value);
}

int CWXMLNode::QueryPropertyBool(wchar_t const* name, bool* value) {
  return cwbase_internal::XmlReadBool(GetPropertyValue(name), value);
}
