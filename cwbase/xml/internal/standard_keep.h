// The nodes a lossless load (CWXML_KEEP_ALL) keeps beside elements: text
// runs, CDATA sections, comments, processing instructions and the DOCTYPE
// (tree.h's XmlDestroyNodes releases a document's prolog and epilog lists).
//
// Contract
// - XmlKeepNode cuts a node of `kind` from `pool` (node_storage.h), with
//   m_pParent `parent` and no name, and appends it to `list`. Its value is
//   [begin, end): borrowed, with a zero written at `end`, unless `own`, in
//   which case it is an owned copy (new[], own-flag 1) and the text is only
//   read. Returns 0, or CWXML_ERROR_OUT_OF_MEMORY with nothing appended (a
//   node that could not be appended is destroyed).
// - Cost: one node (the node object, its chunk slot and its lent array
//   slots, see node_storage.h) per kept node, plus the copy for an owned
//   value; never more than the text of the input and of expanded entities.
// Threads: re-entrant.
#pragma once

class CWPtArray;
class CWXMLNode;

namespace cwbase_internal {

class XmlPool;

int XmlKeepNode(XmlPool& pool, CWPtArray& list, CWXMLNode* parent, int kind, wchar_t* begin,
                wchar_t* end, bool own);

}  // namespace cwbase_internal
