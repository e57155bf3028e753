// A literal evaluation of compiled XML paths, written from the rules in
// cwbase/xml/xmlpath.h and not from the selection's code: node sets are
// plain lists, each step is applied to every node of the set in turn and
// the result is sorted by a document-order map and made unique. It recurses
// and is quadratic; it is meant for the small trees of the tests and the
// fuzzer (header only, so the fuzzer needs no test library).
#pragma once

#include <algorithm>
#include <cwchar>
#include <map>
#include <vector>

#include "cwbase/xml/internal/path_program.h"
#include "cwbase/xml/xmlpath.h"

namespace xmlpath_reference {

using cwbase_internal::PathPredicate;
using cwbase_internal::PathProgram;
using cwbase_internal::PathStep;

// The document above an absolute path's root: a node of no kind.
struct Context {
  const PathProgram* program;
  CWXMLNode* document;  // stands for the document node (never a match)
  CWXMLNode* root;      // an absolute path's root (the context), else null
  std::map<CWXMLNode*, long> order;
};

inline bool IsElement(CWXMLNode* n) {
  return n && n->IsElement();
}

inline void NumberFrom(Context& x, CWXMLNode* n) {
  x.order.emplace(n, static_cast<long>(x.order.size()));
  for (int i = 0; i < n->GetChildCount(); ++i)
    if (IsElement(n->GetChildAt(i))) NumberFrom(x, n->GetChildAt(i));
}

inline bool Named(const Context& x, const wchar_t* name, long offset) {
  return name && (offset == cwbase_internal::kNoName ||
                  std::wcscmp(name, x.program->strings.data() + offset) == 0);
}

inline std::vector<CWXMLNode*> Children(const Context& x, CWXMLNode* n) {
  if (n == x.document) return {x.root};
  std::vector<CWXMLNode*> out;
  for (int i = 0; i < n->GetChildCount(); ++i)
    if (IsElement(n->GetChildAt(i))) out.push_back(n->GetChildAt(i));
  return out;
}

inline CWXMLNode* Parent(const Context& x, CWXMLNode* n) {
  if (n == x.document) return nullptr;
  if (n == x.root) return x.document;
  CWXMLNode* p = n->m_pParent;
  return p && x.order.count(p) ? p : nullptr;
}

inline void SelfAndBelow(const Context& x, CWXMLNode* n, std::vector<CWXMLNode*>& out) {
  out.push_back(n);
  for (CWXMLNode* c : Children(x, n)) SelfAndBelow(x, c, out);
}

inline bool Holds(const Context& x, const PathPredicate& p, CWXMLNode* n) {
  if (n == x.document) return false;
  const wchar_t* value =
      p.value == cwbase_internal::kNoName ? nullptr : x.program->strings.data() + p.value;
  if (p.test == cwbase_internal::kTestHasAttribute ||
      p.test == cwbase_internal::kTestAttributeValue) {
    for (int i = 0; i < n->m_Props.GetSize(); ++i) {
      auto* a = static_cast<CWXMLProp*>(n->m_Props.GetAt(i));
      if (a && Named(x, a->m_pName, p.name) &&
          (!value || (a->m_pValue && std::wcscmp(a->m_pValue, value) == 0)))
        return true;
    }
    return false;
  }
  for (CWXMLNode* c : Children(x, n))
    if (Named(x, c->m_pName, p.name) &&
        (!value || std::wcscmp(c->m_pValue ? c->m_pValue : L"", value) == 0))
      return true;
  return false;
}

// The matches of `program` from `context`, whose tree is the one under
// `top` (a node every element of the tree descends from).
inline std::vector<SWXMLMatch> Select(const PathProgram& program, CWXMLNode* top,
                                      CWXMLNode* context) {
  CWXMLNode document;
  Context x{&program, &document, program.absolute ? context : nullptr, {}};
  x.order.emplace(&document, -1);
  NumberFrom(x, program.absolute ? context : top);
  std::vector<CWXMLNode*> set(1, program.absolute ? &document : context);
  const PathStep* attribute = nullptr;
  for (const PathStep& step : program.steps) {
    if (step.axis == cwbase_internal::kAxisAttribute) {
      attribute = &step;
      break;
    }
    std::vector<CWXMLNode*> next;
    for (CWXMLNode* n : set) {
      std::vector<CWXMLNode*> found;
      if (step.axis == cwbase_internal::kAxisDescendantOrSelf) {
        SelfAndBelow(x, n, found);
      } else if (step.axis == cwbase_internal::kAxisSelf) {
        found.push_back(n);
      } else if (step.axis == cwbase_internal::kAxisParent) {
        if (CWXMLNode* p = Parent(x, n)) found.push_back(p);
      } else {
        for (CWXMLNode* c : Children(x, n))
          if (Named(x, c->m_pName, step.name)) found.push_back(c);
      }
      for (int i = 0; i < step.predicateCount; ++i) {
        const PathPredicate& p = program.predicates[step.firstPredicate + i];
        std::vector<CWXMLNode*> kept;
        for (size_t k = 0; k < found.size(); ++k)
          if (p.test == cwbase_internal::kTestPosition ? static_cast<long>(k) + 1 == p.position
                                                       : Holds(x, p, found[k]))
            kept.push_back(found[k]);
        found = kept;
      }
      next.insert(next.end(), found.begin(), found.end());
    }
    std::sort(next.begin(), next.end(),
              [&x](CWXMLNode* a, CWXMLNode* b) { return x.order.at(a) < x.order.at(b); });
    next.erase(std::unique(next.begin(), next.end()), next.end());
    set = next;
  }
  std::vector<SWXMLMatch> out;
  for (CWXMLNode* n : set) {
    if (n == &document) continue;
    if (!attribute) {
      out.push_back({n, nullptr});
      continue;
    }
    for (int i = 0; i < n->m_Props.GetSize(); ++i) {
      auto* a = static_cast<CWXMLProp*>(n->m_Props.GetAt(i));
      if (a && Named(x, a->m_pName, attribute->name)) out.push_back({n, a});
    }
  }
  return out;
}

}  // namespace xmlpath_reference
