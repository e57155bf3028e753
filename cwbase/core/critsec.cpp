// CWCriticalSection: a recursive POSIX mutex. The results of the pthread
// calls are deliberately not examined.
#include "cwbase/core/critsec.h"

CWCriticalSection::CWCriticalSection() {
#if defined(PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP)
  // glibc's static initialiser gives, bit for bit, the recursive mutex that
  // pthread_mutex_init makes from a PTHREAD_MUTEX_RECURSIVE attribute,
  // without four library calls (every CWPtArray, so every XML node, has one).
  const pthread_mutex_t recursive = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
  m_Mutex = recursive;
#else
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&m_Mutex, &attr);
  pthread_mutexattr_destroy(&attr);
#endif
}

CWCriticalSection::~CWCriticalSection() {
  pthread_mutex_destroy(&m_Mutex);
}

void CWCriticalSection::Lock() {
  pthread_mutex_lock(&m_Mutex);
}

void CWCriticalSection::Unlock() {
  pthread_mutex_unlock(&m_Mutex);
}
