#include "platform/critical_section.h"

#include <windows.h>

namespace platform {
namespace {
CRITICAL_SECTION* Native(unsigned char* storage) {
  static_assert(sizeof(CRITICAL_SECTION) <= 64, "storage too small");
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

void CriticalSection::Initialize() { InitializeCriticalSection(Native(storage_)); }
void CriticalSection::Delete() { DeleteCriticalSection(Native(storage_)); }
void CriticalSection::Enter() { EnterCriticalSection(Native(storage_)); }
int CriticalSection::TryEnter() { return TryEnterCriticalSection(Native(storage_)); }
bool CriticalSection::Leave() {
  CRITICAL_SECTION* section = Native(storage_);
  // The owner's thread id is kept in the section itself.
  if (section->OwningThread != ULongToHandle(GetCurrentThreadId()) ||
      section->RecursionCount <= 0) {
    return false;
  }
  LeaveCriticalSection(section);
  return true;
}

}  // namespace platform
