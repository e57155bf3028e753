// Checks on an element's attribute list shared by the standard reader and
// the standard writer.
//
// Contract
// - XmlPropsUnique is true when no two attributes (CWXMLProp*) of `props`
//   that have a name and a value share the name; entries without either are
//   not compared. It allocates only for lists of more than 16 attributes,
//   and may then throw std::bad_alloc.
// Threads: re-entrant; reads the list only.
#pragma once

class CWPtArray;

namespace cwbase_internal {

bool XmlPropsUnique(CWPtArray& props);

}  // namespace cwbase_internal
