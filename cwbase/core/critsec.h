// CWCriticalSection: a recursive POSIX mutex.
//
// The thread that holds it may lock it again and releases it after as many
// Unlock calls as Lock calls. Results of the mutex calls are not examined and
// nothing is reported. Not copyable.
#pragma once

#include <pthread.h>

class CWCriticalSection {
 public:
  CWCriticalSection();
  CWCriticalSection(const CWCriticalSection&) = delete;
  CWCriticalSection& operator=(const CWCriticalSection&) = delete;
  virtual ~CWCriticalSection();

  void Lock();
  void Unlock();

 private:
  pthread_mutex_t m_Mutex;
};
