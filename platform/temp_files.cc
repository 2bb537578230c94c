#include "platform/temp_files.h"

#include <mutex>

namespace platform {

// The system's side, per platform.
std::string SystemTemporaryPath();
std::string LongPathForm(const std::string& path);

namespace {
std::mutex g_override_mutex;
std::string g_override;
}  // namespace

std::string TemporaryDirectory() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(g_override_mutex);
    path = g_override;
  }
  if (path.empty()) path = SystemTemporaryPath();
  return path.empty() ? path : LongPathForm(path);
}

void SetTemporaryDirectoryForTesting(const std::string& directory) {
  std::lock_guard<std::mutex> lock(g_override_mutex);
  g_override = directory;
}

}  // namespace platform
