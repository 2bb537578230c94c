#include "platform/temp_files.h"
#include "platform/os_hooks.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

const int kErrorPathNotFound = ENOENT;

std::string SystemTemporaryPath() {
  const char* variable = getenv("TMPDIR");
  std::string path = variable != nullptr && *variable != '\0' ? variable : "/tmp";
  // Like the Windows temporary path: with its final separator.
  if (path.back() != '/') path += '/';
  return path;
}

std::string LongPathForm(const std::string& path) { return path; }

int MakeDirectory(const std::string& path) {
  // A temporary directory is the user's own.
  return mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
}

std::string CreateTemporaryFile(const std::string& directory, const std::string& prefix) {
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) return std::string();
  close(descriptor);
  return name.data();
}

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

}  // namespace platform
