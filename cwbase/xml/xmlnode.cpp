// The XML tree: construction, clean-up, queries, setters and deep copy.
#include <pthread.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <typeinfo>
#include <vector>

#include "cwbase/text/encoding.h"
#include "cwbase/text/strhelp.h"
#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/internal/tree.h"
#include "cwbase/xml/xmlnode.h"

using cwbase_internal::kXmlLentBytes;
using cwbase_internal::XmlPool;

namespace {

// The note from an allocation to the constructor about to run on it: the
// object and the room after it (see internal/node_storage.h).
struct LentRoom {
  void* m_pObject;
  void** m_pSlots;
};
thread_local LentRoom t_LentRoom{nullptr, nullptr};

// Rounded as the pool rounds, so the room stays pointer-aligned.
size_t WithRoom(size_t size) {
  return (size + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*) + kXmlLentBytes;
}

void* Lend(void* object, size_t size) noexcept {
  if (object)
    t_LentRoom = {object, reinterpret_cast<void**>(static_cast<char*>(object) + WithRoom(size) -
                                                   kXmlLentBytes)};
  return object;
}

// The room lent to `object`, or null; the note is cleared either way.
void** TakeRoom(void* object) noexcept {
  LentRoom room = t_LentRoom;
  t_LentRoom = {nullptr, nullptr};
  return room.m_pObject == object ? room.m_pSlots : nullptr;
}

// An object released before its constructor ran (it threw, or the
// allocation was never constructed) leaves no note behind.
void Forget(void* object) noexcept {
  if (t_LentRoom.m_pObject == object) t_LentRoom = {nullptr, nullptr};
}

// Objects made with `new` (by callers, the setters and the copy) are cut
// from a pool of the allocating thread's (see pool.h). The pool is made on
// the thread's first such allocation and destroyed when the thread ends,
// through a thread-specific key: a C++ thread_local object with a destructor
// would need memory merely to register it, and abort when there is none.
// Where no pool can be had, each object takes a chunk of its own, one
// malloc per node or attribute: a tree built with the setters then takes
// more than twice as long.
thread_local XmlPool* t_pPool = nullptr;

void DestroyThreadPool(void* pool) {
  delete static_cast<XmlPool*>(pool);
  t_pPool = nullptr;  // the destructors of other keys may still allocate
}

XmlPool* ThreadPool() noexcept {
  if (t_pPool) return t_pPool;
  struct Key {
    pthread_key_t key{};
    bool ok = pthread_key_create(&key, DestroyThreadPool) == 0;
  };
  static const Key key;
  if (!key.ok) return nullptr;
  auto* pool = new (std::nothrow) XmlPool;
  if (pool && pthread_setspecific(key.key, pool) != 0) {
    delete pool;
    pool = nullptr;
  }
  return t_pPool = pool;
}

void* AllocateShared(size_t size) {
  XmlPool* pool = ThreadPool();
  return pool ? pool->Allocate(size) : XmlPool::AllocateOne(size);
}
void* AllocateShared(size_t size, const std::nothrow_t&) noexcept {
  try {
    return AllocateShared(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Replaces an owned-or-borrowed string field by an owned copy of `source`.
// Null source: nothing changes. Allocation failure: the field stays null.
void AssignString(wchar_t*& field, int& own, wchar_t const* source) {
  if (!source) return;
  if (own && field) delete[] field;
  own = 0;
  field = nullptr;
  const size_t n = wcslen(source) + 1;
  if (auto* copy = new (std::nothrow) wchar_t[n]) {
    wmemcpy(copy, source, n);  // the terminator included
    field = copy;
    own = 1;
  }
}

void ReleaseString(wchar_t*& field, int& own) {
  if (own) {
    if (field) delete[] field;
    own = 0;
  }
  field = nullptr;
}

CWXMLProp* PropAt(CWPtArray& props, int i) {
  return static_cast<CWXMLProp*>(props.GetAt(i));
}

bool NameIs(wchar_t const* a, wchar_t const* b) {
  return a && b && wcscmp(a, b) == 0;
}

// Destroys what a node owns: its strings, children and attributes, in order.
// Children and attributes of exactly the library's classes are taken apart
// here and their storage goes back through `batch`; objects of any other
// class go through their own virtual destructor and delete. With `clear`,
// arrays that held entries are emptied (a node destroyed next must not see
// them again); the caller empties or drops the top node's arrays.
void Dismantle(CWXMLNode* node, XmlPool::Batch& batch, bool clear) {
  ReleaseString(node->m_pName, node->m_bOwnName);
  ReleaseString(node->m_pValue, node->m_bOwnValue);
  // The array is read afresh at each step: a destructor of another class
  // may change it.
  if (node->m_Children.GetSize()) {
    for (int i = 0; i < node->m_Children.GetSize(); ++i) {
      auto* child = static_cast<CWXMLNode*>(node->m_Children.GetMemPtr()[i]);
      if (!child) continue;
      if (typeid(*child) == typeid(CWXMLNode)) {
        Dismantle(child, batch, true);
        child->CWXMLNode::~CWXMLNode();  // exactly this class: no virtual call
        batch.Release(child, WithRoom(sizeof(CWXMLNode)));
      } else {
        delete child;
      }
    }
    if (clear) node->m_Children.RemoveAll();
  }
  if (node->m_Props.GetSize()) {
    for (int i = 0; i < node->m_Props.GetSize(); ++i) {
      auto* prop = static_cast<CWXMLProp*>(node->m_Props.GetMemPtr()[i]);
      if (!prop) continue;
      if (typeid(*prop) == typeid(CWXMLProp)) {
        prop->CWXMLProp::~CWXMLProp();
        batch.Release(prop, sizeof(CWXMLProp));
      } else {
        delete prop;
      }
    }
    if (clear) node->m_Props.RemoveAll();
  }
}

// The question below answered by recursion, which needs no memory.
bool InSubtreeRecursive(CWXMLNode* node, CWXMLNode* target) {
  if (node == target) return true;
  for (int i = 0; i < node->m_Children.GetSize(); ++i) {
    auto* c = static_cast<CWXMLNode*>(node->m_Children.GetAt(i));
    if (c && InSubtreeRecursive(c, target)) return true;
  }
  return false;
}

}  // namespace

// Walks without recursion; if the walk cannot get memory it recurses instead
// (as deep as the copy that asks will recurse anyway). A guess of "true"
// there would send operator= round its careful path for ever.
bool cwbase_internal::XmlInSubtree(CWXMLNode* root, CWXMLNode* target) {
  try {
    std::vector<CWXMLNode*> stack{root};
    while (!stack.empty()) {
      CWXMLNode* n = stack.back();
      stack.pop_back();
      if (n == target) return true;
      for (int i = 0; i < n->m_Children.GetSize(); ++i)
        if (auto* c = static_cast<CWXMLNode*>(n->m_Children.GetAt(i))) stack.push_back(c);
    }
    return false;
  } catch (const std::bad_alloc&) {
    return InSubtreeRecursive(root, target);
  }
}

// ---- storage ----

// The pool puts an object 8 bytes past an 8-byte boundary.
static_assert(alignof(CWXMLNode) <= sizeof(void*) && alignof(CWXMLProp) <= sizeof(void*),
              "tree objects fit the pool's alignment");

void* CWXMLProp::operator new(size_t size) {
  return AllocateShared(size);
}
void* CWXMLProp::operator new(size_t size, const std::nothrow_t&) noexcept {
  return AllocateShared(size, std::nothrow);
}
void CWXMLProp::operator delete(void* object, size_t size) noexcept {
  XmlPool::Release(object, size);
}
void CWXMLProp::operator delete(void* object, const std::nothrow_t&) noexcept {
  XmlPool::Release(object, 0);
}

void* CWXMLNode::operator new(size_t size) {
  return Lend(AllocateShared(WithRoom(size)), size);
}
void* CWXMLNode::operator new(size_t size, const std::nothrow_t&) noexcept {
  return Lend(AllocateShared(WithRoom(size), std::nothrow), size);
}
void CWXMLNode::operator delete(void* object, size_t size) noexcept {
  Forget(object);
  XmlPool::Release(object, WithRoom(size));
}
void CWXMLNode::operator delete(void* object, const std::nothrow_t&) noexcept {
  Forget(object);
  XmlPool::Release(object, 0);
}

CWXMLNode* cwbase_internal::XmlNewNode(XmlPool& pool, CWXMLNode* parent) {
  return new (Lend(pool.Allocate(WithRoom(sizeof(CWXMLNode))), sizeof(CWXMLNode)))
      CWXMLNode(parent);
}

// ---- CWXMLProp ----

CWXMLProp::CWXMLProp() : m_pName(nullptr), m_pValue(nullptr), m_bOwnName(0), m_bOwnValue(0) {}

CWXMLProp::~CWXMLProp() {
  ReleaseString(m_pName, m_bOwnName);
  ReleaseString(m_pValue, m_bOwnValue);
}

int CWXMLProp::IsValid() {
  return m_pName && m_pValue ? 1 : 0;
}

void CWXMLProp::SetName(wchar_t const* name) {
  AssignString(m_pName, m_bOwnName, name);
}

void CWXMLProp::SetValue(wchar_t const* value) {
  AssignString(m_pValue, m_bOwnValue, value);
}

// ---- CWXMLNode: life cycle ----

CWXMLNode::CWXMLNode() : CWXMLNode(nullptr) {}

CWXMLNode::CWXMLNode(CWXMLNode* parent) : CWXMLNode(parent, TakeRoom(this)) {}

CWXMLNode::CWXMLNode(CWXMLNode* parent, void** lentSlots)
    : m_pParent(parent),
      m_Children(lentSlots),
      m_Props(lentSlots ? lentSlots + cwbase_internal::kPtArrayFirstCapacity : nullptr),
      m_pName(nullptr),
      m_pValue(nullptr),
      m_bOwnName(0),
      m_bOwnValue(0),
      m_Kind(CWXML_NODE_ELEMENT) {}

CWXMLNode::~CWXMLNode() {
  // A node taken apart by its parent's release has nothing left to release.
  if (!m_Children.GetSize() && !m_Props.GetSize() && !m_bOwnName && !m_bOwnValue) return;
  XmlPool::Batch batch;
  Dismantle(this, batch, false);  // the arrays go with the node
}

void CWXMLNode::CleanUp() {
  // Destroy in order from the front, then empty each array in one step
  // (removing index 0 repeatedly would cost quadratic time).
  {
    XmlPool::Batch batch;
    Dismantle(this, batch, false);
  }
  m_Children.RemoveAll();
  m_Props.RemoveAll();
  m_Kind = CWXML_NODE_ELEMENT;
}

// ---- queries ----

int CWXMLNode::IsNameEquals(wchar_t const* name) {
  return NameIs(m_pName, name) ? 1 : 0;
}

int CWXMLNode::GetChildCount() {
  return m_Children.GetSize();
}

CWXMLNode* CWXMLNode::GetChildAt(int index) {
  if (index < 0 || index >= m_Children.GetSize()) return nullptr;
  return static_cast<CWXMLNode*>(m_Children.GetAt(index));
}

CWXMLNode* CWXMLNode::GetChildNode(wchar_t const* name) {
  if (!name) return nullptr;
  for (int i = 0; i < m_Children.GetSize(); ++i) {
    auto* child = static_cast<CWXMLNode*>(m_Children.GetAt(i));
    if (child && NameIs(child->m_pName, name)) return child;
  }
  return nullptr;
}

wchar_t* CWXMLNode::GetPropertyValue(wchar_t const* name) {
  if (!name) return nullptr;
  wchar_t* found = nullptr;
  for (int i = 0; i < m_Props.GetSize(); ++i) {
    CWXMLProp* p = PropAt(m_Props, i);
    if (p && NameIs(p->m_pName, name)) found = p->m_pValue;
  }
  return found;
}

long CWXMLNode::GetPropertyValueLong(wchar_t const* name) {
  wchar_t* value = GetPropertyValue(name);
  if (!value || !*value) return 0;
  return wcstol(value, nullptr, 10);
}

int CWXMLNode::IsPropertyEquals(wchar_t const* name, wchar_t const* value) {
  if (!name || !value) return 0;
  for (int i = 0; i < m_Props.GetSize(); ++i) {
    CWXMLProp* p = PropAt(m_Props, i);
    if (p && NameIs(p->m_pName, name) && NameIs(p->m_pValue, value)) return 1;
  }
  return 0;
}

// ---- setters ----

void CWXMLNode::SetName(wchar_t const* name) {
  AssignString(m_pName, m_bOwnName, name);
}

void CWXMLNode::SetValue(wchar_t const* value) {
  AssignString(m_pValue, m_bOwnValue, value);
}

void CWXMLNode::SetValue(long value) {
  wchar_t text[256];
  ZeroIt(text, sizeof(text));
  _unsafe_swprintf(text, L"%d", static_cast<int>(value));
  SetValue(text);
}

void CWXMLNode::SetValueA(char const* value) {
  if (!value) return;
  ReleaseString(m_pValue, m_bOwnValue);
  size_t n = strlen(value) + 1;
  try {
    wchar_t* wide = new wchar_t[n]();
    MultiByteToWideChar(0, 0, value, static_cast<int>(n), wide, static_cast<int>(n));
    m_pValue = wide;
    m_bOwnValue = 1;
  } catch (const std::bad_alloc&) {
  }
}

void CWXMLNode::SetPropertyValue(wchar_t const* name, wchar_t const* value) {
  if (!name || !value) return;
  CWXMLProp* prop = nullptr;
  for (int i = 0; i < m_Props.GetSize() && !prop; ++i) {
    CWXMLProp* p = PropAt(m_Props, i);
    if (p && NameIs(p->m_pName, name)) prop = p;
  }
  if (!prop) {
    prop = new CWXMLProp();  // a failure here reaches the caller, nothing changed
    prop->SetName(name);
    if (!m_Props.Add(prop)) {
      delete prop;
      return;
    }
  }
  if (value[0] != L'"') {
    prop->SetValue(value);
    return;
  }
  // A quoted value is stored without its quotes: from after the opening quote
  // up to the last quote behind it (or to nothing when there is none).
  size_t n = wcslen(value);
  wchar_t* inner = new (std::nothrow) wchar_t[n]();
  if (!inner) return;
  size_t k = n - 1;
  while (k >= 1 && value[k] != L'"') --k;
  if (k >= 1) wmemcpy(inner, value + 1, k - 1);
  prop->SetValue(inner);
  delete[] inner;
}

void CWXMLNode::SetPropertyValue(wchar_t const* name, long value) {
  wchar_t text[64];
  ZeroIt(text, sizeof(text));
  _unsafe_swprintf(text, L"%d", static_cast<int>(value));
  SetPropertyValue(name, text);
}

CWXMLNode* CWXMLNode::AddChildNode(wchar_t const* name) {
  if (!name) return nullptr;
  CWXMLNode* child = new (std::nothrow) CWXMLNode(this);
  if (!child) return nullptr;
  child->SetName(name);
  if (!m_Children.Add(child)) {
    delete child;
    return nullptr;
  }
  return child;
}

// ---- deep copy ----

CWXMLNode& CWXMLNode::operator=(CWXMLNode& source) {
  if (&source == this) return *this;
  if (cwbase_internal::XmlInSubtree(this, &source)) {
    // The clean-up below would destroy the source: copy it aside first.
    CWXMLNode aside;
    aside = source;
    return *this = aside;
  }
  CleanUp();
  m_Kind = source.m_Kind;
  SetName(source.m_pName);
  SetValue(source.m_pValue);
  for (int i = 0; i < source.m_Children.GetSize(); ++i) {
    auto* from = static_cast<CWXMLNode*>(source.m_Children.GetAt(i));
    // A nameless element is left out; nodes of the other kinds have no name.
    if (!from || (!from->m_pName && from->IsElement())) continue;
    // As AddChildNode, without the name the copy below sets again.
    auto* to = new (std::nothrow) CWXMLNode(this);
    if (!to) continue;
    if (!m_Children.Add(to)) {
      delete to;
      continue;
    }
    *to = *from;
  }
  for (int i = 0; i < source.m_Props.GetSize(); ++i) {
    CWXMLProp* from = PropAt(source.m_Props, i);
    if (!from) continue;
    CWXMLProp* to = new (std::nothrow) CWXMLProp();
    if (!to) continue;
    to->SetName(from->m_pName);
    to->SetValue(from->m_pValue);
    if (!m_Props.Add(to)) delete to;
  }
  return *this;
}

// ---- CWXMLDocument ----

CWXMLDocument::CWXMLDocument() {}

CWXMLDocument::~CWXMLDocument() {
  cwbase_internal::XmlDestroyNodes(m_Prolog);
  cwbase_internal::XmlDestroyNodes(m_Epilog);
}

CWXMLDocument& CWXMLDocument::operator=(CWXMLNode& source) {
  CWXMLNode::operator=(source);
  return *this;
}

CWXMLDocument& CWXMLDocument::operator=(CWXMLDocument& source) {
  if (&source == this) return *this;
  CWXMLNode::operator=(source);
  cwbase_internal::XmlCopyNodes(m_Prolog, source.m_Prolog);
  cwbase_internal::XmlCopyNodes(m_Epilog, source.m_Epilog);
  m_bKeptLayout = source.m_bKeptLayout;
  return *this;
}
