// The selection of a compiled XML path, by one of two mechanisms.
// - A path without ".." goes down only (Descent): each step turns the list of
//   nodes it is given, in document order, into the next one by walking their
//   children (and, for "//", their subtrees) in preorder, so the order comes
//   from the walk and no node is reached twice.
// - A path with ".." (Selection) numbers the elements it may reach once in
//   document order (a preorder walk with an explicit stack); each step then
//   maps the sorted set of numbers it is given to the next one, so document
//   order and the removal of duplicates come from the numbers.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

#include "cwbase/xml/internal/path_program.h"

namespace cwbase_internal {
namespace {

using Id = uint32_t;
constexpr Id kNone = UINT32_MAX;

// The numbered elements: element i in document order is entry i, with its
// node (null for the document above an absolute path's root), its parent's
// number (kNone for the first) and one past the last number of its subtree
// as far as it was numbered.
struct Entry {
  CWXMLNode* node;
  Id parent;
  Id end;
};

struct Numbering {
  std::vector<Entry> entries;

  Id Add(CWXMLNode* n, Id up) {
    if (entries.size() >= kNone - 1) throw std::bad_alloc();
    const Id id = static_cast<Id>(entries.size());
    entries.push_back({n, up, id + 1});
    return id;
  }
  Id Size() const { return static_cast<Id>(entries.size()); }
};

// The child at `index` when it is an element, else null. (GetMemPtr: the
// entries themselves, read without a call per entry.)
CWXMLNode* ElementAt(CWXMLNode* node, int index) {
  auto* child = static_cast<CWXMLNode*>(node->m_Children.GetMemPtr()[index]);
  return child && child->IsElement() ? child : nullptr;
}

bool HoldsChild(CWXMLNode* parent, CWXMLNode* child) {
  for (int i = 0; i < parent->m_Children.GetSize(); ++i)
    if (parent->m_Children.GetAt(i) == child) return true;
  return false;
}

// Numbers `top` (whose parent is `up`) and the elements below it down to
// `maxDepth` levels below the top's level `depth`.
void Number(Numbering& u, CWXMLNode* top, Id up, long depth, long maxDepth) {
  struct Frame {
    CWXMLNode* node;
    int next;
    Id id;
    long depth;
  };
  std::vector<Frame> stack;
  const Id first = u.Add(top, up);
  if (depth < maxDepth) stack.push_back({top, 0, first, depth});
  while (!stack.empty()) {
    Frame& f = stack.back();
    CWXMLNode* child = nullptr;
    while (!child && f.next < f.node->m_Children.GetSize()) child = ElementAt(f.node, f.next++);
    if (!child) {
      u.entries[f.id].end = u.Size();
      stack.pop_back();
      continue;
    }
    const Id parentId = f.id;
    const long childDepth = f.depth + 1;
    const Id id = u.Add(child, parentId);
    if (childDepth < maxDepth) stack.push_back({child, 0, id, childDepth});
  }
}

// wcscmp(a, b) == 0, inline: names and values are short, a call costs more
// than the comparison.
bool Same(const wchar_t* a, const wchar_t* b) {
  for (; *a == *b; ++a, ++b)
    if (*a == L'\0') return true;
  return false;
}

bool NameIs(const wchar_t* name, const wchar_t* strings, long offset) {
  return name && (offset == kNoName || Same(name, strings + offset));
}

// Appends the match a selected node gives: the node itself, or with a final
// attribute step each of its attributes that the step names.
void AddMatches(CWXMLNode* node, const PathStep* last, const wchar_t* strings,
                std::vector<SWXMLMatch>& out) {
  if (!node) return;  // the document above an absolute path's root
  if (!last) {
    out.push_back({node, nullptr});
    return;
  }
  for (int i = 0; i < node->m_Props.GetSize(); ++i) {
    auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetAt(i));
    if (prop && NameIs(prop->m_pName, strings, last->name)) out.push_back({node, prop});
  }
}

bool Holds(const PathPredicate& p, CWXMLNode* node, const wchar_t* strings) {
  if (!node) return false;
  const wchar_t* value = p.value == kNoName ? nullptr : strings + p.value;
  if (p.test == kTestHasAttribute || p.test == kTestAttributeValue) {
    void* const* props = node->m_Props.GetMemPtr();
    for (int i = 0; i < node->m_Props.GetSize(); ++i) {
      auto* prop = static_cast<CWXMLProp*>(props[i]);
      if (!prop || !NameIs(prop->m_pName, strings, p.name)) continue;
      if (!value || (prop->m_pValue && Same(prop->m_pValue, value))) return true;
    }
    return false;
  }
  for (int i = 0; i < node->m_Children.GetSize(); ++i) {
    CWXMLNode* child = ElementAt(node, i);
    if (!child || !NameIs(child->m_pName, strings, p.name)) continue;
    if (!value || Same(child->m_pValue ? child->m_pValue : L"", value)) return true;
  }
  return false;
}

class Selection {
 public:
  Selection(const PathPredicate* predicates, const wchar_t* strings)
      : m_Predicates(predicates), m_Strings(strings) {}

  // Numbers what the path can reach from `context`; m_Current becomes the
  // context alone.
  void Start(const PathStep* steps, int count, bool absolute, CWXMLNode* context);
  // Replaces m_Current with what `step` reaches from it.
  void Take(const PathStep& step);
  void Collect(const PathStep* last, std::vector<SWXMLMatch>& out) const;

  std::vector<Id> m_Current;

 private:
  void Filter(const PathStep& step);

  const PathPredicate* m_Predicates;
  const wchar_t* m_Strings;
  Numbering m_Tree;
  // Per element, during one step: kept in m_Next, or refused by the
  // predicates of a parent step (listed in m_Refused).
  enum : unsigned char { kKept = 1, kRefused = 2 };
  std::vector<unsigned char> m_Mark;
  std::vector<Id> m_Next, m_Candidates, m_Kept, m_Refused;
};

void Selection::Start(const PathStep* steps, int count, bool absolute, CWXMLNode* context) {
  // How deep below the top the path can go, and how far above the context.
  long down = 0, up = 0;
  for (int i = 0; i < count; ++i) {
    if (steps[i].axis == kAxisChild) ++down;
    if (steps[i].axis == kAxisParent) ++up;
    if (steps[i].axis == kAxisDescendantOrSelf) down = LONG_MAX / 2;
  }
  Id contextId = 0;
  if (absolute) {
    m_Tree.Add(nullptr, kNone);
    Number(m_Tree, context, 0, 1, down);
    m_Tree.entries[0].end = m_Tree.Size();
  } else {
    CWXMLNode* top = context;
    long climbed = 0;
    if (context->IsElement())
      for (; climbed < up && top->m_pParent && HoldsChild(top->m_pParent, top); ++climbed)
        top = top->m_pParent;
    Number(m_Tree, top, kNone, 0, climbed + down);
    if (climbed > 0) {
      auto at = std::find_if(m_Tree.entries.begin(), m_Tree.entries.end(),
                             [context](const Entry& e) { return e.node == context; });
      if (at == m_Tree.entries.end()) {  // an ancestor that is not an element hid it
        m_Tree = Numbering();
        Number(m_Tree, context, kNone, 0, down);
      } else {
        contextId = static_cast<Id>(at - m_Tree.entries.begin());
      }
    }
  }
  m_Mark.assign(m_Tree.Size(), 0);
  m_Current.assign(1, contextId);
}

// Applies the step's predicates to m_Candidates, in order.
void Selection::Filter(const PathStep& step) {
  for (int i = 0; i < step.predicateCount && !m_Candidates.empty(); ++i) {
    const PathPredicate& p = m_Predicates[step.firstPredicate + i];
    m_Kept.clear();
    if (p.test == kTestPosition) {
      if (static_cast<size_t>(p.position) <= m_Candidates.size())
        m_Kept.push_back(m_Candidates[p.position - 1]);
    } else {
      for (Id id : m_Candidates)
        if (Holds(p, m_Tree.entries[id].node, m_Strings)) m_Kept.push_back(id);
    }
    m_Candidates.swap(m_Kept);
  }
}

void Selection::Take(const PathStep& step) {
  m_Next.clear();
  auto mark = [&](Id id) {
    if (!m_Mark[id]) {
      m_Mark[id] = kKept;
      m_Next.push_back(id);
    }
  };
  if (step.axis == kAxisDescendantOrSelf) {
    // The sets are sorted and subtrees nest, so each number is visited once.
    Id covered = 0;
    for (Id c : m_Current) {
      for (Id id = std::max(c, covered); id < m_Tree.entries[c].end; ++id) mark(id);
      covered = std::max(covered, m_Tree.entries[c].end);
    }
  } else {
    for (Id c : m_Current) {
      m_Candidates.clear();
      if (step.axis == kAxisChild) {
        // Each element is the child of one context only: no element is
        // tested twice.
        for (Id k = c + 1; k < m_Tree.entries[c].end; k = m_Tree.entries[k].end)
          if (NameIs(m_Tree.entries[k].node->m_pName, m_Strings, step.name))
            m_Candidates.push_back(k);
      } else {
        // One candidate, whose fate does not depend on the context: many
        // children share a parent, which is tested once.
        const Id one = step.axis == kAxisSelf ? c : m_Tree.entries[c].parent;
        if (one == kNone || m_Mark[one]) continue;
        m_Candidates.push_back(one);
      }
      Filter(step);
      if (step.axis == kAxisParent && m_Candidates.empty()) {
        m_Mark[m_Tree.entries[c].parent] = kRefused;
        m_Refused.push_back(m_Tree.entries[c].parent);
      }
      for (Id id : m_Candidates) mark(id);
    }
  }
  // Children of a context that lies inside another context's subtree come
  // out of order: sort a few, or read a larger set back from the marks.
  if (!std::is_sorted(m_Next.begin(), m_Next.end())) {
    if (m_Next.size() * 16 < m_Mark.size()) {
      std::sort(m_Next.begin(), m_Next.end());
    } else {
      m_Next.clear();
      for (Id id = 0; id < m_Mark.size(); ++id)
        if (m_Mark[id] == kKept) m_Next.push_back(id);
    }
  }
  for (Id id : m_Next) m_Mark[id] = 0;
  for (Id id : m_Refused) m_Mark[id] = 0;
  m_Refused.clear();
  m_Current.swap(m_Next);
}

void Selection::Collect(const PathStep* last, std::vector<SWXMLMatch>& out) const {
  out.reserve(out.size() + m_Current.size());
  for (Id c : m_Current) AddMatches(m_Tree.entries[c].node, last, m_Strings, out);
}

// Keeps, from the nodes of `v` after `from` (the candidates of one context
// node, in order), those passing the step's predicates, each in turn.
void FilterTail(std::vector<CWXMLNode*>& v, size_t from, const PathStep& step,
                const PathPredicate* predicates, const wchar_t* strings) {
  for (int i = 0; i < step.predicateCount && v.size() > from; ++i) {
    const PathPredicate& p = predicates[step.firstPredicate + i];
    size_t kept = from;
    if (p.test == kTestPosition) {
      if (static_cast<size_t>(p.position) <= v.size() - from) v[kept++] = v[from + p.position - 1];
    } else {
      for (size_t k = from; k < v.size(); ++k)
        if (Holds(p, v[k], strings)) v[kept++] = v[k];
    }
    v.resize(kept);
  }
}

// The selection of a path without "..". A list is in document order without
// duplicates; it is "apart" when no node of it lies below another, and the
// null node stands for the document above an absolute path's root, whose one
// child is the context.
class Descent {
 public:
  Descent(const PathPredicate* predicates, const wchar_t* strings, bool absolute,
          CWXMLNode* context)
      : m_Predicates(predicates), m_Strings(strings), m_Root(context) {
    m_Current.assign(1, absolute ? nullptr : context);
  }

  // Takes steps[i] (a child or self step), or "//" at steps[i] with the step
  // after it when there is one; returns how many steps it took.
  int Take(const PathStep* steps, int i, int count);

  std::vector<CWXMLNode*> m_Current;
  bool m_Apart = true;

 private:
  struct Frame {
    void* const* children;
    int count;
    int next;
    bool applies;                                // the step applies to the node
    bool kept;                                   // the node is in m_Next
    size_t pendingStart, pendingAt, pendingEnd;  // its candidates in m_Pending
  };

  // Appends what `step` (child or self) reaches from `node`, predicates
  // applied, to `to`.
  void Reach(const PathStep& step, CWXMLNode* node, std::vector<CWXMLNode*>& to) const;
  // Whether the child step keeps `child`, when it has no position predicate
  // (the test then depends on the child alone).
  bool Passes(const PathStep& step, CWXMLNode* child) const {
    if (!NameIs(child->m_pName, m_Strings, step.name)) return false;
    for (int i = 0; i < step.predicateCount; ++i)
      if (!Holds(m_Predicates[step.firstPredicate + i], child, m_Strings)) return false;
    return true;
  }
  // The walk for a step over lists that are not apart, or after "//".
  void Walk(const PathStep& step, bool everyNode);
  void Enter(const PathStep& step, bool everyNode, CWXMLNode* node, bool kept);

  // The child at `index` of a frame's node when it is an element, else null
  // (the document's one child, the context, is taken as it is).
  CWXMLNode* ChildAt(const Frame& f, int index) const {
    auto* child = static_cast<CWXMLNode*>(f.children[index]);
    return f.children == &m_Root || (child && child->IsElement()) ? child : nullptr;
  }

  const PathPredicate* m_Predicates;
  const wchar_t* m_Strings;
  void* const m_Root;
  std::vector<CWXMLNode*> m_Next, m_Pending;
  std::vector<Frame> m_Stack;
  size_t m_Member = 0;        // the walk's place in m_Current
  int m_KeptAbove = 0;        // frames on m_Stack whose node is in m_Next
  bool m_Positional = false;  // the walked step has a position predicate
};

void Descent::Reach(const PathStep& step, CWXMLNode* node, std::vector<CWXMLNode*>& to) const {
  const size_t from = to.size();
  if (step.axis == kAxisSelf) {
    to.push_back(node);
  } else if (!node) {
    auto* root = static_cast<CWXMLNode*>(m_Root);
    if (NameIs(root->m_pName, m_Strings, step.name)) to.push_back(root);
  } else {
    void* const* children = node->m_Children.GetMemPtr();
    const int count = node->m_Children.GetSize();
    for (int i = 0; i < count; ++i) {
      auto* child = static_cast<CWXMLNode*>(children[i]);
      if (child && child->IsElement() && NameIs(child->m_pName, m_Strings, step.name))
        to.push_back(child);
    }
  }
  FilterTail(to, from, step, m_Predicates, m_Strings);
}

// Puts `node` on the walk's stack when it has children. A self step that
// applies to it keeps it at once; a child step with a position predicate puts
// the node's candidates aside in m_Pending.
void Descent::Enter(const PathStep& step, bool everyNode, CWXMLNode* node, bool kept) {
  const bool member = m_Member < m_Current.size() && m_Current[m_Member] == node;
  if (member) ++m_Member;
  const bool applies = everyNode || member;
  const size_t start = m_Pending.size();
  if (applies && step.axis == kAxisSelf) {
    Reach(step, node, m_Pending);
    if (m_Pending.size() > start) {
      if (m_KeptAbove > 0) m_Apart = false;
      m_Next.push_back(node);
      kept = true;
    }
    m_Pending.resize(start);
  } else if (applies && m_Positional) {
    Reach(step, node, m_Pending);
  }
  Frame f;
  if (node) {
    f.children = node->m_Children.GetMemPtr();
    f.count = node->m_Children.GetSize();
  } else {
    f.children = &m_Root;
    f.count = 1;
  }
  if (f.count == 0) return;  // nothing below, and nothing put aside
  f.next = 0;
  f.applies = applies && step.axis == kAxisChild;
  f.kept = kept;
  f.pendingStart = f.pendingAt = start;
  f.pendingEnd = m_Pending.size();
  m_KeptAbove += kept;
  m_Stack.push_back(f);
}

// One preorder walk over the subtrees of m_Current (a node inside an earlier
// node's subtree is met by that walk), testing the children of the nodes the
// step applies to as the walk meets them, so m_Next comes in document order;
// it stays apart unless a kept node lies below another.
void Descent::Walk(const PathStep& step, bool everyNode) {
  m_Positional = false;
  for (int i = 0; i < step.predicateCount; ++i)
    if (m_Predicates[step.firstPredicate + i].test == kTestPosition) m_Positional = true;
  m_Member = 0;
  m_KeptAbove = 0;
  while (m_Member < m_Current.size()) {
    Enter(step, everyNode, m_Current[m_Member], false);
    while (!m_Stack.empty()) {
      Frame& f = m_Stack.back();
      if (f.next == f.count) {
        m_Pending.resize(f.pendingStart);
        m_KeptAbove -= f.kept;
        m_Stack.pop_back();
        continue;
      }
      CWXMLNode* child = ChildAt(f, f.next++);
      if (!child) continue;
      bool kept = false;
      if (f.applies) {
        if (!m_Positional) {
          kept = Passes(step, child);
        } else if (f.pendingAt < f.pendingEnd && m_Pending[f.pendingAt] == child) {
          ++f.pendingAt;
          kept = true;
        }
      }
      if (kept) {
        if (m_KeptAbove > 0) m_Apart = false;
        m_Next.push_back(child);
      }
      // Below the child lie more nodes to test, or members of m_Current.
      if (everyNode || m_Member < m_Current.size()) Enter(step, everyNode, child, kept);
    }
  }
}

int Descent::Take(const PathStep* steps, int i, int count) {
  m_Next.clear();
  int taken = 1;
  if (steps[i].axis == kAxisDescendantOrSelf) {
    // "//" and a child step are one walk; before anything else, "//" alone
    // is the walk of a self step without predicates.
    static const PathStep kSelf = {kAxisSelf, kNoName, 0, 0};
    const bool joined = i + 1 < count && steps[i + 1].axis != kAxisDescendantOrSelf;
    const PathStep& step = joined ? steps[i + 1] : kSelf;
    taken = joined ? 2 : 1;
    m_Apart = true;
    Walk(step, true);
  } else if (m_Apart || steps[i].axis == kAxisSelf) {
    // Apart, the children of each node follow those of the one before it.
    for (CWXMLNode* node : m_Current) Reach(steps[i], node, m_Next);
  } else {
    m_Apart = true;
    Walk(steps[i], false);
  }
  m_Current.swap(m_Next);
  return taken;
}

void Collect(const std::vector<CWXMLNode*>& nodes, const PathStep* last, const wchar_t* strings,
             std::vector<SWXMLMatch>& out) {
  out.reserve(out.size() + nodes.size());
  for (CWXMLNode* node : nodes) AddMatches(node, last, strings, out);
}

}  // namespace

void SelectPath(const PathStep* steps, int stepCount, const PathPredicate* predicates,
                const wchar_t* strings, bool absolute, CWXMLNode* context,
                std::vector<SWXMLMatch>& out) {
  const PathStep* last = nullptr;
  if (stepCount > 0 && steps[stepCount - 1].axis == kAxisAttribute) last = &steps[--stepCount];
  const bool down = std::none_of(steps, steps + stepCount,
                                 [](const PathStep& s) { return s.axis == kAxisParent; });
  if (down) {
    Descent descent(predicates, strings, absolute, context);
    for (int i = 0; i < stepCount && !descent.m_Current.empty();)
      i += descent.Take(steps, i, stepCount);
    Collect(descent.m_Current, last, strings, out);
    return;
  }
  Selection selection(predicates, strings);
  selection.Start(steps, stepCount, absolute, context);
  for (int i = 0; i < stepCount && !selection.m_Current.empty(); ++i) selection.Take(steps[i]);
  selection.Collect(last, out);
}

}  // namespace cwbase_internal
