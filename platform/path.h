// The directory part of a path, taken one way throughout the system.
#pragma once

#include <string>

namespace platform {

// Everything up to and including the last '/' or '\\' (both separate, as they
// do on Windows); empty when `path` has neither.
std::string DirectoryOf(const std::string& path);

}  // namespace platform
