// CWXMLPath: compiles into three blocks of plain records and selects over
// them (cwbase/xml/internal/path_*).
#include "cwbase/xml/xmlpath.h"

#include <climits>
#include <new>
#include <vector>

#include "cwbase/xml/internal/path_program.h"

using cwbase_internal::PathPredicate;
using cwbase_internal::PathProgram;
using cwbase_internal::PathStep;

namespace {

template <typename T>
void Store(CWBlock& block, std::vector<T>& items) {
  block.SetSize(0);
  if (!items.empty()) block.SetBuffer(items.data(), items.size() * sizeof(T));
}

}  // namespace

CWXMLPath::CWXMLPath() {}

CWXMLPath::~CWXMLPath() {}

int CWXMLPath::Compile(const wchar_t* path) {
  m_Compiled = 0;
  try {
    PathProgram program;
    if (cwbase_internal::CompilePath(path, program, m_Error) != 0) return -1;
    if (program.steps.size() > INT_MAX) throw std::bad_alloc();
    Store(m_Steps, program.steps);
    Store(m_Predicates, program.predicates);
    Store(m_Strings, program.strings);
    m_Absolute = program.absolute ? 1 : 0;
  } catch (const std::bad_alloc&) {
    m_Error = {CWXML_PATH_ERROR_OUT_OF_MEMORY, 0, "out of memory"};
    return -1;
  }
  m_Compiled = 1;
  return 0;
}

int CWXMLPath::SelectAll(CWXMLNode* context, CWDynArray<SWXMLMatch>& matches) const {
  if (!m_Compiled || !context) {
    matches.SetSize(0);
    return -1;
  }
  // The blocks are only read here; GetBuffer is not a const member.
  auto& self = const_cast<CWXMLPath&>(*this);
  try {
    std::vector<SWXMLMatch> found;
    cwbase_internal::SelectPath(static_cast<const PathStep*>(self.m_Steps.GetBuffer()),
                                static_cast<int>(self.m_Steps.GetSize() / sizeof(PathStep)),
                                static_cast<const PathPredicate*>(self.m_Predicates.GetBuffer()),
                                static_cast<const wchar_t*>(self.m_Strings.GetBuffer()),
                                m_Absolute != 0, context, found);
    if (found.size() > INT_MAX / sizeof(SWXMLMatch)) throw std::bad_alloc();
    if (found.empty())
      matches.SetSize(0);
    else
      matches.SetBuffer(found.data(), found.size() * sizeof(SWXMLMatch));
    return static_cast<int>(found.size());
  } catch (const std::bad_alloc&) {
    matches.SetSize(0);
    return -1;
  }
}

SWXMLMatch CWXMLPath::SelectFirst(CWXMLNode* context) const {
  CWDynArray<SWXMLMatch> matches;
  if (SelectAll(context, matches) <= 0) return {nullptr, nullptr};
  return *matches.GetAt(0);
}

int XMLPathSelectAll(CWXMLNode* context, const wchar_t* path, CWDynArray<SWXMLMatch>& matches) {
  CWXMLPath compiled;
  if (compiled.Compile(path) != 0) {
    matches.SetSize(0);
    return -1;
  }
  return compiled.SelectAll(context, matches);
}

SWXMLMatch XMLPathSelectFirst(CWXMLNode* context, const wchar_t* path) {
  CWXMLPath compiled;
  if (compiled.Compile(path) != 0) return {nullptr, nullptr};
  return compiled.SelectFirst(context);
}
