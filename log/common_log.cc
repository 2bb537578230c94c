#include "log/common_log.h"

#include <cerrno>
#include <cstdarg>

#include "platform/clock.h"
#include "platform/file_system.h"

std::shared_ptr<ICommonLog> g_log;

ICommonLog::ICommonLog(const std::string& path) : fileName(path), maxLevel(5) {}

ICommonLog::~ICommonLog() = default;

TCommonLog::TCommonLog(const std::string& path) : TCommonLog(path, platform::NativePathOf(path)) {}

TCommonLog::TCommonLog(const std::string& path, const platform::NativePath& location)
    : ICommonLog(path), nativeFileName(location), file(nullptr), maxSize(kMaxSize) {
  Open();
  platform::ToLocalTime(platform::Now(), &lastTime);
}

TCommonLog::~TCommonLog() {
  if (!fileName.empty() && file != stderr) {
    std::lock_guard<std::mutex> lock(mutex);
    std::fclose(file);
    file = nullptr;
  }
}

void TCommonLog::Open() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    file = platform::OpenForAppending(nativeFileName);
    if (file != nullptr) {
      std::fseek(file, 0, SEEK_END);
      return;
    }
    std::printf("TCommonLog fopen %s error: %d\n", fileName.c_str(), errno);
  }
  fileName.clear();
  file = stderr;
}

std::int32_t TCommonLog::Write(std::int32_t level, const char* format, ...) {
  if (file == nullptr) return -1;
  if (level > maxLevel) return 0;
  const std::time_t now = platform::Now();  // before the lock: stamps may come out of order

  std::lock_guard<std::mutex> lock(mutex);
  const std::string stamp = platform::CtimeText(now);
  CheckRotation(now);
  std::fprintf(file, "[%s] : ", stamp.c_str());
  va_list arguments;
  va_start(arguments, format);
  const int result = std::vfprintf(file, format, arguments);
  va_end(arguments);
  std::fputs("\n", file);
  std::fflush(file);
  return result;
}

void TCommonLog::CheckRotation(std::time_t now) {
  if (fileName.empty() || file == stderr) return;

  std::tm current{};
  if (!platform::ToLocalTime(now, &current)) return;

  // Only a later day of the year, or 1 January, is a new day: a clock set
  // back, or a first line on 2 January after 30 December, is not.
  const bool dayChanged =
      current.tm_yday > lastTime.tm_yday || (current.tm_yday == 0 && lastTime.tm_yday != 0);
  const bool sizeReached = platform::StreamPosition(file) >= maxSize;

  if (dayChanged || sizeReached) {
    char suffix[32] = {};
    std::strftime(suffix, sizeof suffix, "%Y%m%d_%H%M%S", &lastTime);
    const std::string newName = fileName + "." + suffix;
    // "reloging" kept verbatim: log readers look for the line as it is.
    std::fprintf(file, "[%s] : Closed for reloging, passed day will be saved in %s",
                 fileName.c_str(), newName.c_str());
    std::fclose(file);
    file = nullptr;
    platform::NativePath newLocation = nativeFileName;
    newLocation += platform::NativePathOf(std::string(".") + suffix);
    const int error = platform::RenameNoReplace(nativeFileName, newLocation);
    if (error != 0) {
      std::printf("renaming %s to %s failed with %d\n", fileName.c_str(), newName.c_str(), error);
    }
    Open();
  }
  lastTime = current;
}
