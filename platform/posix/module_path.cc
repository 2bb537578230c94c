#include "platform/module_path.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

namespace platform {

const char kLibraryFileName[] = "libKorvan.Tools.Updater.so";
const char kCompanionFileName[] = "KorvanUpdater";
const char kLogPathFromLibraryDirectory[] = "../../KorvanUpdaterLog.log";

std::string ModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || info.dli_fname == nullptr) {
    return std::string();
  }
  std::string path = info.dli_fname;
  // A module loaded by a relative name reports that name: anchor it.
  if (!path.empty() && path[0] != '/') {
    char cwd[PATH_MAX] = {};
    if (getcwd(cwd, sizeof cwd) != nullptr) {
      path = (std::filesystem::path(cwd) / path).lexically_normal().string();
    }
  }
  return path;
}

NativePath ModuleFileNativePath() { return NativePath(ModuleFilePath()); }

std::string ExecutableFilePath() {
  char buffer[PATH_MAX] = {};
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace platform
