// The library's entry function; the module definition file exports it as
// ordinal 1.
#include <windows.h>

#include "platform/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    platform::OnLibraryLoad();
  } else if (reason == DLL_PROCESS_DETACH) {
    platform::OnLibraryUnload();
  }
  return TRUE;
}
