// Loading a library file and finding its exports.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// Loads the library at `path` (LoadLibraryA / dlopen); nullptr on failure.
LibraryHandle LoadDynamicLibrary(const std::string& path);
void FreeDynamicLibrary(LibraryHandle library);
// The export's address, or nullptr.
void* FindExport(LibraryHandle library, const char* name);

// The file extension of this platform's own libraries (".dll", ".so").
extern const char kNativeLibraryExtension[];

}  // namespace platform
