#include "platform/dynamic_library.h"
#include "platform/testing.h"

#include <windows.h>

namespace platform {

LibraryHandle LoadDynamicLibrary(const std::string& path) {
  return LoadDynamicLibraryAt(NativePathOf(path));
}

LibraryHandle LoadDynamicLibraryAt(const NativePath& path) { return LoadLibraryW(path.c_str()); }

void FreeDynamicLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

void* FindExport(LibraryHandle library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void* FindProgramExport(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

void* FindExportByOrdinal(LibraryHandle library, int ordinal) {
  return reinterpret_cast<void*>(GetProcAddress(
      static_cast<HMODULE>(library), reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal))));
}

const char kNativeLibraryExtension[] = ".dll";

bool PlatformHasOrdinals() { return true; }

}  // namespace platform
