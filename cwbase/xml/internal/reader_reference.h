// The straightforward XML reader, kept beside the fast one in xmlreader.cpp as
// its yardstick: every load and parse of the fast reader must leave exactly
// the tree and the buffer these functions leave for the same input. It
// follows the reading rules literally: a plain substring search of the rest
// of the text for each element's end tag, each child read from its parent's
// remaining content. Used by the differential tests; not part of the
// library's public interface.
//
// Results, buffer handling and the choices made for odd input are those
// described in xmlnode.h (nesting limit, negative lengths, partial units).
// Threads: none; one document or node per thread at a time.
#pragma once

#include "cwbase/xml/xmlnode.h"

// CWXMLNode::Parse, read the straightforward way.
wchar_t* CWXMLPlainParse(CWXMLNode* node, wchar_t* text);

// CWXMLDocument::LoadFromStream (ascii false) or LoadFromStreamAscii (ascii
// true), read the straightforward way.
int CWXMLPlainLoad(CWXMLDocument& doc, unsigned char* data, int length, bool ascii);
