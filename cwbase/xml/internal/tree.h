// Walks over a tree of CWXMLNode shared by the node's operations. Private to
// the XML subsystem.
#pragma once

#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

// True when `target` is `root` or stands anywhere in root's subtree (null
// entries skipped). Needs no memory to answer: when its stack cannot be
// allocated it recurses once per level instead.
bool XmlInSubtree(CWXMLNode* root, CWXMLNode* target);

// Replaces every borrowed name and value in the subtree of `root` (its
// attributes included) by an owned copy of the same text. False when memory
// ran out; the strings copied by then stay owned, the others borrowed, and
// every string reads as before either way.
bool XmlOwnSubtree(CWXMLNode* root);

// Destroys the nodes of `list` (with delete) and empties it.
void XmlDestroyNodes(CWPtArray& list);

// Replaces the nodes of `to` by deep copies of those of `from` (operator=);
// null entries, and nodes that cannot be allocated, are left out, as the
// tree's copy leaves them out.
void XmlCopyNodes(CWPtArray& to, CWPtArray& from);

}  // namespace cwbase_internal
