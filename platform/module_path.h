// Where the running code lives on disk.
#pragma once

#include <string>

#include "platform/native_path.h"

namespace platform {

// Full path of the module (DLL or shared object) that holds this code, not of
// the process's executable. Empty when the platform cannot tell.
std::string ModuleFilePath();

// The same path in the system's own spelling, which reaches the module's
// folder whatever the folder is called (GetModuleFileNameW on Windows).
NativePath ModuleFileNativePath();

// Full path of the running process's executable.
std::string ExecutableFilePath();

// The companion program's file name and the log's place relative to the
// library's directory, in this platform's spelling.
extern const char kLibraryFileName[];
extern const char kCompanionFileName[];
extern const char kLogPathFromLibraryDirectory[];

}  // namespace platform
