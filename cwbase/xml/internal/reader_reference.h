// The reference XML reader: the reading rules applied literally, a substring
// search of the rest of the text for each element's end tag and
// each child read from its parent's remaining content, with no index.
// Private to the XML subsystem.
//
// It serves twice. The indexed reader (xmlreader.cpp) falls back to it when
// the memory for its index cannot be had, so it is production code; and the
// differential tests and the fuzzer compare every load and parse of the
// indexed reader with it: both must leave exactly the same result, tree and
// buffer for the same input.
//
// Results, buffer handling and the choices made for odd input are those
// described in xmlnode.h (nesting limit, negative lengths, partial units).
// Threads: none; one document or node per thread at a time.
#pragma once

#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

// CWXMLNode::Parse, read by the rules literally.
wchar_t* ReferenceXmlParse(CWXMLNode* node, wchar_t* text);

// The first step of LoadFromStreamAscii: the `length` >= 0 bytes at `data`
// converted with MultiByteToWideChar from a zero-terminated copy of exactly
// those bytes, into `wide` resized to 4 * length + 4 bytes, zero after the
// units. Throws std::bad_alloc. The indexed reader converts this way too.
void ReferenceXmlConvert(CWBlock& wide, unsigned char* data, int length);

// CWXMLDocument::LoadFromStream (ascii false) or LoadFromStreamAscii (ascii
// true), read by the rules literally.
int ReferenceXmlLoad(CWXMLDocument& doc, unsigned char* data, int length, bool ascii);

}  // namespace cwbase_internal
