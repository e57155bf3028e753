// PendingHeaders: the first batch replaces the list's data (SetBuffer: exact
// growth, zeros beyond), later batches are appended with one SetSize each.
#include "cwbase/http/internal/pending_headers.h"

#include <cstring>
#include <new>

namespace cwbase_internal {

void PendingHeaders::Finish() {
  Flush();
  if (!m_Started) m_List.RemoveAll();
}

void PendingHeaders::Flush() {
  if (m_Count == 0) return;
  const unsigned long bytes = static_cast<unsigned long>(m_Count) * sizeof(SWHttpHeader);
  try {
    if (!m_Started) {
      m_List.SetBuffer(m_Batch, bytes);
    } else {
      const unsigned long old = m_List.GetSize();
      char* data = static_cast<char*>(m_List.SetSize(old + bytes));
      std::memcpy(data + old, m_Batch, bytes);
    }
    m_Started = true;
  } catch (const std::bad_alloc&) {
    if (!m_Started) m_List.RemoveAll();
    m_Started = true;
    for (int i = 0; i < m_Count; ++i) {
      SWHttpHeader* header = m_List.Add();
      if (!header) {
        m_Full = true;
        break;
      }
      *header = m_Batch[i];
    }
  }
  m_Count = 0;
}

}  // namespace cwbase_internal
