// Checks on an element's attribute list shared by the standard reader and
// the standard writer.
//
// Contract
// - XmlPropsUnique is true when no two attributes (CWXMLProp*) of `props`
//   that have a name and a value share the name; entries without either are
//   not compared. It allocates only for lists of more than 16 attributes,
//   and may then throw std::bad_alloc.
// - XmlPropsRepeated is the index of the first attribute whose name an
//   earlier attribute of the list has (both with a name and a value), or -1
//   when there is none; it sorts a copy of the names, so it allocates and
//   may throw std::bad_alloc. For reporting, after XmlPropsUnique said no.
// Threads: re-entrant; reads the list only.
#pragma once

class CWPtArray;

namespace cwbase_internal {

bool XmlPropsUnique(CWPtArray& props);
int XmlPropsRepeated(CWPtArray& props);

}  // namespace cwbase_internal
