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
void CriticalSection::Leave() { LeaveCriticalSection(Native(storage_)); }

}  // namespace platform
