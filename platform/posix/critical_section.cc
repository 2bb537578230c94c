#include "platform/critical_section.h"

#include <pthread.h>

#include <atomic>
#include <new>

namespace platform {
namespace {

// The owner is kept beside the mutex: an unlock by another thread would be
// refused by a recursive mutex too, but the sanitizers count it as a fault
// of the caller, and the section must answer a foreign leave calmly.
struct Section {
  pthread_mutex_t mutex;
  std::atomic<pthread_t> owner{};
  long depth = 0;  // touched by the owner alone
};

Section* Native(unsigned char* storage) {
  static_assert(sizeof(Section) <= 64, "storage too small");
  return reinterpret_cast<Section*>(storage);
}

void TakeOwnership(Section* section) {
  if (section->depth++ == 0) section->owner.store(pthread_self());
}

}  // namespace

void CriticalSection::Initialize() {
  Section* section = new (storage_) Section;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&section->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void CriticalSection::Delete() {
  Section* section = Native(storage_);
  pthread_mutex_destroy(&section->mutex);
  section->~Section();
}

void CriticalSection::Enter() {
  Section* section = Native(storage_);
  pthread_mutex_lock(&section->mutex);
  TakeOwnership(section);
}

int CriticalSection::TryEnter() {
  Section* section = Native(storage_);
  if (pthread_mutex_trylock(&section->mutex) != 0) return 0;
  TakeOwnership(section);
  return 1;
}

bool CriticalSection::Leave() {
  Section* section = Native(storage_);
  // Only the owner finds itself named here (no thread is named while the
  // section is free); for the owner, depth is its own to read.
  if (!pthread_equal(section->owner.load(), pthread_self())) return false;
  if (--section->depth == 0) section->owner.store(pthread_t{});
  pthread_mutex_unlock(&section->mutex);
  return true;
}

}  // namespace platform
