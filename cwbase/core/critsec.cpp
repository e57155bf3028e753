// CWCriticalSection: a recursive POSIX mutex. The results of the pthread
// calls are deliberately not examined.
#include "cwbase/core/critsec.h"

CWCriticalSection::CWCriticalSection() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&m_Mutex, &attr);
  pthread_mutexattr_destroy(&attr);
}

CWCriticalSection::~CWCriticalSection() { pthread_mutex_destroy(&m_Mutex); }

void CWCriticalSection::Lock() { pthread_mutex_lock(&m_Mutex); }

void CWCriticalSection::Unlock() { pthread_mutex_unlock(&m_Mutex); }
