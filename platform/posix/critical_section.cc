#include "platform/critical_section.h"

#include <pthread.h>

namespace platform {
namespace {
pthread_mutex_t* Native(unsigned char* storage) {
  static_assert(sizeof(pthread_mutex_t) <= 64, "storage too small");
  return reinterpret_cast<pthread_mutex_t*>(storage);
}
}  // namespace

void CriticalSection::Initialize() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(Native(storage_), &attributes);
  pthread_mutexattr_destroy(&attributes);
}
void CriticalSection::Delete() { pthread_mutex_destroy(Native(storage_)); }
void CriticalSection::Enter() { pthread_mutex_lock(Native(storage_)); }
int CriticalSection::TryEnter() { return pthread_mutex_trylock(Native(storage_)) == 0 ? 1 : 0; }
void CriticalSection::Leave() { pthread_mutex_unlock(Native(storage_)); }

}  // namespace platform
