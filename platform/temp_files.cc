#include "platform/temp_files.h"

#include <mutex>

#include "platform/os_hooks.h"
#include "platform/testing.h"

namespace platform {

namespace {
std::mutex g_overrideMutex;
std::string g_override;
}  // namespace

std::string TemporaryDirectory() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    path = g_override;
  }
  if (path.empty()) path = SystemTemporaryPath();
  return path.empty() ? path : LongPathForm(path);
}

void SetTemporaryDirectoryForTesting(const std::string& directory) {
  std::lock_guard<std::mutex> lock(g_overrideMutex);
  g_override = directory;
}

}  // namespace platform
