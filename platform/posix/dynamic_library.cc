#include "platform/dynamic_library.h"
#include "platform/testing.h"

#include <dlfcn.h>

namespace platform {

LibraryHandle LoadDynamicLibrary(const std::string& path) {
  // A name without a slash would make dlopen search the library path.
  const std::string anchored = path.find('/') == std::string::npos ? "./" + path : path;
  return dlopen(anchored.c_str(), RTLD_NOW | RTLD_LOCAL);
}

LibraryHandle LoadDynamicLibraryAt(const NativePath& path) {
  return LoadDynamicLibrary(path.string());
}

void FreeDynamicLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

void* FindExport(LibraryHandle library, const char* name) { return dlsym(library, name); }

void* FindProgramExport(const char* name) {
  // The program's own handle stays valid for the life of the process.
  static void* const program = dlopen(nullptr, RTLD_LAZY);
  return program != nullptr ? dlsym(program, name) : nullptr;
}

void* FindExportByOrdinal(LibraryHandle, int) { return nullptr; }

const char kNativeLibraryExtension[] = ".so";

bool PlatformHasOrdinals() { return false; }

}  // namespace platform
