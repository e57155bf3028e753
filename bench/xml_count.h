// Element counts of a cwbase tree and of a pugixml document. The XML
// benchmarks report them as the "elements" counter, so that ratios.py can
// check that every implementation read (or built) the whole document. The
// root element counts; a pugixml document node does not.
#pragma once

#include <pugixml.hpp>

#include "cwbase/xml/xmlnode.h"

namespace xml_bench {

inline long Count(CWXMLNode* n) {
  long c = 1;
  for (int i = 0; i < n->GetChildCount(); ++i)
    if (CWXMLNode* child = n->GetChildAt(i)) c += Count(child);
  return c;
}

inline long Count(pugi::xml_node n) {
  long c = n.type() == pugi::node_element;
  for (pugi::xml_node child : n.children()) c += Count(child);
  return c;
}

}  // namespace xml_bench
