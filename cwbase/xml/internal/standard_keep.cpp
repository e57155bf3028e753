// Nodes kept by a lossless load (see standard_keep.h).
#include "cwbase/xml/internal/standard_keep.h"

#include <new>

#include "cwbase/xml/internal/node_storage.h"
#include "cwbase/xml/internal/pool.h"
#include "cwbase/xml/internal/standard_text.h"
#include "cwbase/xml/xmlerror.h"
#include "cwbase/xml/xmlnode.h"

namespace cwbase_internal {

int XmlKeepNode(XmlPool& pool, CWPtArray& list, CWXMLNode* parent, int kind, wchar_t* begin,
                wchar_t* end, bool own) {
  CWXMLNode* node;
  try {
    node = XmlNewNode(pool, parent);
  } catch (const std::bad_alloc&) {
    return CWXML_ERROR_OUT_OF_MEMORY;
  }
  node->m_Kind = kind;
  const auto n = static_cast<size_t>(end - begin);
  if (own) {
    node->m_pValue = XmlOwnCopy(begin, n);
    if (!node->m_pValue) {
      delete node;
      return CWXML_ERROR_OUT_OF_MEMORY;
    }
    node->m_bOwnValue = 1;
  } else {
    *end = 0;
    node->m_pValue = begin;
  }
  if (!list.Add(node)) {
    delete node;
    return CWXML_ERROR_OUT_OF_MEMORY;
  }
  return 0;
}

}  // namespace cwbase_internal
