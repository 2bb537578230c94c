// Loading a library file and finding its exports.
#pragma once

#include <string>

#include "platform/native_path.h"

namespace platform {

using LibraryHandle = void*;

// Loads the library at `path` (LoadLibraryA / dlopen); nullptr on failure.
LibraryHandle LoadDynamicLibrary(const std::string& path);
// The same for a path in the system's own spelling, as a Unicode program such
// as the terminal loads the library from a folder of any name.
LibraryHandle LoadDynamicLibraryAt(const NativePath& path);
void FreeDynamicLibrary(LibraryHandle library);
// The export's address, or nullptr.
void* FindExport(LibraryHandle library, const char* name);
// An export of the program this process runs (not of a library), or nullptr.
void* FindProgramExport(const char* name);

// The file extension of this platform's own libraries (".dll", ".so").
extern const char kNativeLibraryExtension[];

}  // namespace platform
