// The library's entry function; the module definition file exports it as
// ordinal 1.
#include <windows.h>

#include "platform/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    platform::OnLibraryLoad();
  } else if (reason == DLL_PROCESS_DETACH) {
    // Non-null when the process ends rather than unloading the library.
    platform::OnLibraryUnload(reserved != nullptr);
  }
  return TRUE;
}
