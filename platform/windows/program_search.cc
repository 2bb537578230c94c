#include "platform/program_search.h"

#include <windows.h>

namespace platform {

std::string FindProgramOnPath(const std::string& name) {
  if (name.empty()) return std::string();
  char found[MAX_PATH] = {};
  const DWORD length = SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(found, length);
}

}  // namespace platform
