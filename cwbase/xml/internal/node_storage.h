// How the storage of a CWXMLNode is laid out. Private to the XML subsystem.
//
// Every node allocated through the class's storage (the class-specific
// operator new, or the reader's pool) is followed by room for the first
// slots of its two arrays, so that a node costs one allocation instead of
// three: [chunk slot][node object][5 slots of m_Children][5 of m_Props].
// The allocation lends the room to the constructor about to run on it
// through a per-thread note naming the object; the constructor takes the
// room only when it runs on exactly that object, and clears the note
// either way. Any other node (on the stack, a member, placement-new into
// other storage, a base at a non-zero offset) finds no note for itself and
// its arrays malloc their slots as before. The arrays never free lent
// slots; they move to malloc storage on their first re-size, and the room
// is released with the node.
#pragma once

#include <cstddef>

#include "cwbase/core/internal/lent_slots.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

// Bytes of the room after a node object.
constexpr size_t kXmlLentBytes = 2 * kPtArrayFirstCapacity * sizeof(void*);

// A node with parent `parent` in `pool`'s chunks, its arrays on lent slots.
// Throws std::bad_alloc.
CWXMLNode* XmlNewNode(XmlPool& pool, CWXMLNode* parent);

// An empty attribute in `pool`'s chunks. Throws std::bad_alloc.
inline CWXMLProp* XmlNewProp(XmlPool& pool) {
  return new (pool.Allocate(sizeof(CWXMLProp))) CWXMLProp();
}

}  // namespace cwbase_internal
