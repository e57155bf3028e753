/// @file
/// CWCriticalSection: a recursive POSIX mutex.
///
/// The thread that holds it may lock it again and releases it after as many
/// Unlock calls as Lock calls. Results of the mutex calls are not examined and
/// nothing is reported. Not copyable.
#pragma once

#include <pthread.h>

/// A recursive mutex (pthread_mutex_t of the recursive kind). The library
/// itself never locks one; it is offered to callers.
class CWCriticalSection {
 public:
  /// Initialises the mutex as recursive.
  CWCriticalSection();
  /// Not copyable.
  CWCriticalSection(const CWCriticalSection&) = delete;
  /// Not assignable.
  CWCriticalSection& operator=(const CWCriticalSection&) = delete;
  /// Destroys the mutex; it must not be held.
  virtual ~CWCriticalSection();

  /// Locks, waiting while another thread holds the mutex. The holding thread
  /// may lock again; each Lock needs its Unlock.
  void Lock();
  /// Releases one Lock of the calling thread, which must hold the mutex.
  void Unlock();

 private:
  pthread_mutex_t m_Mutex;
};
