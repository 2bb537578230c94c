// Faults the tests bring about: Windows has no per-process file size limit,
// and its read-only attribute does not keep files out of a folder.
#include <objbase.h>

#include "platform/testing.h"

namespace platform {

bool LimitFileSizeForTesting(std::uint64_t) { return false; }
bool SetFolderReadOnlyForTesting(const std::string&, bool) { return false; }

bool JoinMultithreadedApartmentForTesting() {
  return CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_OK;
}

bool LeaveMultithreadedApartmentForTesting() {
  // Joining again only counts once more (S_FALSE) while the thread is still
  // in; both joins are left again.
  const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(again)) CoUninitialize();
  if (again == S_FALSE) CoUninitialize();
  return again == S_FALSE;
}

}  // namespace platform
