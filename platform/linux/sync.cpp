// Linux stand-in only: critical sections as recursive pthread mutexes, like Windows'.

#include <pthread.h>

#include "platform/win32.h"

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  auto* mutex = new pthread_mutex_t;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  section->impl = mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_lock(static_cast<pthread_mutex_t*>(section->impl));
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_unlock(static_cast<pthread_mutex_t*>(section->impl));
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  auto* mutex = static_cast<pthread_mutex_t*>(section->impl);
  pthread_mutex_destroy(mutex);
  delete mutex;
  section->impl = nullptr;
}
