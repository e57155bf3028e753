// CWXMLNode::SaveXML and CWXMLDocument::SaveXML: the standard writer's
// entry points. They run the writer (internal/standard_writer.h) over the
// tree, and over a document's declaration, prolog and epilog; on a failure
// they put the block back to its length before the call and say why.
#include <cwchar>
#include <initializer_list>
#include <new>

#include "cwbase/xml/internal/error_text.h"
#include "cwbase/xml/internal/standard_writer.h"
#include "cwbase/xml/xmlnode.h"

namespace {

using cwbase_internal::XmlStandardWriter;

template <typename T>
inline T* Entry(CWPtArray& list, int i) {
  return static_cast<T*>(list.GetMemPtr()[i]);
}

// Runs `write` on a writer over `block` and fills `outcome`: the block keeps
// what was written on success, and is put back on a failure.
template <typename Write>
int Save(CWBlock& block, const CWXMLSaveOptions& options, CWXMLError& outcome, Write write) {
  const unsigned long before = block.GetSize();
  outcome = CWXMLError();
  try {
    XmlStandardWriter writer(block, options);
    if (write(writer)) {
      writer.Finish();
      outcome.message = cwbase_internal::XmlErrorMessage(CWXML_ERROR_NONE);
      return 0;
    }
    // The bytes written so far are still in the block's storage.
    const size_t at = writer.FaultAt() - writer.Start();
    outcome.code = writer.FaultCode();
    outcome.offset = static_cast<long>(at);
    cwbase_internal::XmlOutputPosition(static_cast<const char*>(block.GetBuffer()) + before, at,
                                       &outcome.line, &outcome.column);
  } catch (const std::bad_alloc&) {
    outcome = CWXMLError();
    outcome.code = CWXML_ERROR_OUT_OF_MEMORY;
  }
  outcome.message = cwbase_internal::XmlErrorMessage(outcome.code);
  block.SetSize(before);
  return -1;
}

// Whether `node` is the XML declaration a CWXML_KEEP_ALL load keeps: a
// processing instruction whose target is "xml".
bool IsDeclaration(const CWXMLNode* node) {
  const wchar_t* v = node ? node->m_pValue : nullptr;
  return node && node->m_Kind == CWXML_NODE_PI && v && v[0] == L'x' && v[1] == L'm' &&
         v[2] == L'l' &&
         (v[3] == 0 || v[3] == L' ' || v[3] == L'\t' || v[3] == L'\n' || v[3] == L'\r');
}

// Nodes before or after the root, each on a line of its own when laid out.
// A document type declaration may stand only once, before the root.
bool TopLevel(XmlStandardWriter& w, CWPtArray& list, int from, long depth, bool layout, bool prolog,
              int* doctypes) {
  for (int i = from; i < list.GetSize(); ++i) {
    CWXMLNode* node = Entry<CWXMLNode>(list, i);
    if (!node) continue;
    if (layout) w.Indent(depth);
    const bool doctype = node->m_Kind == CWXML_NODE_DOCTYPE;
    if (!w.TopLevel(node, doctype && prolog && ++*doctypes == 1)) return false;
    if (layout) w.LineEnd();
  }
  return true;
}

}  // namespace

int CWXMLNode::SaveXML(CWBlock& block, long depth) {
  return SaveXML(block, depth, CWXMLSaveOptions());
}

int CWXMLNode::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options) {
  CWXMLError ignored;
  return SaveXML(block, depth, options, &ignored);
}

int CWXMLNode::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options,
                       CWXMLError* error) {
  CWXMLError outcome;
  const int rc = Save(block, options, outcome, [&](XmlStandardWriter& w) {
    const bool layout = options.indent != CWXML_INDENT_NONE;
    if (layout) w.Indent(depth);
    if (!w.Tree(this, depth, layout)) return false;
    if (layout) w.LineEnd();
    return true;
  });
  if (error) *error = outcome;
  return rc;
}

int CWXMLDocument::SaveXML(CWBlock& block, long depth) {
  return SaveXML(block, depth, CWXMLSaveOptions(), nullptr);
}

int CWXMLDocument::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options) {
  return SaveXML(block, depth, options, nullptr);
}

int CWXMLDocument::SaveXML(CWBlock& block, long depth, const CWXMLSaveOptions& options,
                           CWXMLError* error) {
  const int rc = Save(block, options, m_LastError, [&](XmlStandardWriter& w) {
    // A tree read with CWXML_KEEP_ALL holds every run of white space the
    // input had: adding layout would change the document.
    const bool layout = options.indent != CWXML_INDENT_NONE && !m_bKeptLayout;
    const bool declared = m_Prolog.GetSize() > 0 && IsDeclaration(Entry<CWXMLNode>(m_Prolog, 0));
    // A kept document writes the declaration it was read with, or none: one
    // is supplied only to a tree that was not read whole.
    if (options.declaration && declared) {
      if (!w.Declaration(Entry<CWXMLNode>(m_Prolog, 0)->m_pValue)) return false;
      if (layout) w.LineEnd();
    } else if (options.declaration && !m_bKeptLayout) {
      w.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
      // A supplied declaration stands on its own line, but with no layout at all.
      if (options.indent != CWXML_INDENT_NONE) w.LineEnd();
    }
    int doctypes = 0;
    if (!TopLevel(w, m_Prolog, declared ? 1 : 0, depth, layout, true, &doctypes)) return false;
    if (layout) w.Indent(depth);
    if (!w.Tree(this, depth, layout)) return false;
    if (layout) w.LineEnd();
    return TopLevel(w, m_Epilog, 0, depth, layout, false, &doctypes);
  });
  if (error) *error = m_LastError;
  return rc;
}
