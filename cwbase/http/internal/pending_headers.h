// Header records on their way into the HTTP parser's header list, gathered
// in batches so that the list grows once per batch instead of once per
// record. Private to the HTTP subsystem.
//
// Contract
// - After Finish, the list holds exactly what CWDynArray::RemoveAll followed
//   by one Add per pushed record leaves: the records in push order, length
//   and capacity alike (storage that is large enough is kept, otherwise the
//   list grows to exactly its length) and zero bytes beyond the data.
// - When the list cannot grow, records are added one at a time with Add and
//   the first refusal ends storing for good, so the list holds the leading
//   run of the pushed records. No exception leaves Push or Finish.
// - The list must not be touched by anyone else between the first Push and
//   Finish.
// Threads: none; one object per parse.
#pragma once

#include "cwbase/core/block.h"
#include "cwbase/http/httpresponse.h"

namespace cwbase_internal {

class PendingHeaders {
 public:
  explicit PendingHeaders(CWDynArray<SWHttpHeader>& list) : m_List(list) {}

  void Push(char* name, char* value) {
    if (m_Count == kBatch) Flush();
    if (m_Full) return;
    m_Batch[m_Count].name = name;
    m_Batch[m_Count].value = value;
    ++m_Count;
  }

  // Moves the last batch into the list; empties the list if no record came.
  void Finish();

 private:
  static constexpr int kBatch = 32;

  void Flush();

  CWDynArray<SWHttpHeader>& m_List;
  SWHttpHeader m_Batch[kBatch];
  int m_Count = 0;
  bool m_Started = false;  // the list holds this parse's records (or none)
  bool m_Full = false;     // the list could not grow: no further records
};

}  // namespace cwbase_internal
