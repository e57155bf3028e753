// The reference XML writer: the writing rules applied literally, kept beside
// the writer of xmlwriter.cpp as its yardstick. The wide form appends every
// piece of the layout to the caller's block with its own AddData, so the
// block grows exactly as those appends make it grow; the 8-bit form writes
// the wide text into a temporary block, reserves one byte per character
// with SetSize and converts each character on its own with
// WideCharToMultiByte, writing '?' where the result is not one byte. The differential tests compare
// the writer's length, capacity and bytes with these. Private to the XML subsystem.
//
// Results: 0 always. An allocation failure stops the element writers where
// it happens (the wide form keeps what it appended, the 8-bit form converts
// the wide text written so far); the document forms let a failure while
// appending the declaration reach the caller as std::bad_alloc.
// Threads: none; the tree and the block are used by one thread.
#pragma once

#include "cwbase/core/block.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

// CWXMLNode::SaveToXMLStream by the rules.
int ReferenceXmlSave(CWXMLNode& node, CWBlock& block, long depth);
// CWXMLNode::SaveToXMLStreamAscii by the rules.
int ReferenceXmlSaveAscii(CWXMLNode& node, CWBlock& block, long depth);
// CWXMLDocument::SaveToXMLStream (ascii false) or SaveToXMLStreamAscii
// (ascii true) by the rules: the declaration, then the root element.
int ReferenceXmlSaveDocument(CWXMLDocument& doc, CWBlock& block, long depth, bool ascii);

}  // namespace cwbase_internal
