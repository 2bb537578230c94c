// The directory part of a path, taken one way throughout the system.
#pragma once

#include <string>

namespace platform {

// Everything up to and including the last '/' or '\\' (both separate, as they
// do on Windows); empty when `path` has neither.
inline std::string DirectoryOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace platform
