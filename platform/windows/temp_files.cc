#include "platform/temp_files.h"
#include "platform/os_hooks.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace platform {

const int kErrorPathNotFound = ERROR_PATH_NOT_FOUND;

std::string SystemTemporaryPath() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  // A result that does not fit leaves the buffer as it was: empty.
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::string LongPathForm(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
  // A missing directory has no long form; its name as given still says
  // where it should be.
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

int MakeDirectory(const std::string& path) {
  return CreateDirectoryW(WidenAnsi(path).c_str(), nullptr) ? 0 : static_cast<int>(GetLastError());
}

std::string CreateTemporaryFile(const std::string& directory, const std::string& prefix) {
  char buffer[MAX_PATH] = {};
  if (GetTempFileNameA(directory.c_str(), prefix.c_str(), 0, buffer) == 0) return std::string();
  return buffer;
}

int RemoveFile(const std::string& path) {
  return DeleteFileW(WidenAnsi(path).c_str()) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace platform
