#include "log/common_log.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <thread>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/path.h"

std::shared_ptr<ICommonLog> g_log;

namespace {

// A message formatted by printf: in place when it is short, on the heap
// otherwise.
class Message {
 public:
  Message() = default;
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;

  // The character count, negative on a format error (the message is empty
  // then).
  int Format(const char* format, va_list arguments) {
    va_list first;
    va_copy(first, arguments);
    const int count = std::vsnprintf(small_, sizeof small_, format, first);
    va_end(first);
    if (count < 0) return count;
    size_ = static_cast<std::size_t>(count);
    if (size_ >= sizeof small_) {
      large_.resize(size_ + 1);
      std::vsnprintf(&large_[0], size_ + 1, format, arguments);
      large_.resize(size_);
    }
    return count;
  }

  const char* data() const { return size_ < sizeof small_ ? small_ : large_.data(); }
  std::size_t size() const { return size_; }

 private:
  char small_[512];
  std::string large_;
  std::size_t size_ = 0;
};

std::string Formatted(const char* format, ...) KORVAN_PRINTF_FORMAT(1, 2);
std::string Formatted(const char* format, ...) {
  Message message;
  va_list arguments;
  va_start(arguments, format);
  message.Format(format, arguments);
  va_end(arguments);
  return std::string(message.data(), message.size());
}

}  // namespace

ICommonLog::ICommonLog(const std::string& path)
    : fileName(path), maxLevel(5), folder_(platform::DirectoryOf(path)) {}

ICommonLog::~ICommonLog() = default;

TCommonLog::TCommonLog(const std::string& path) : TCommonLog(path, platform::NativePathOf(path)) {}

TCommonLog::TCommonLog(const std::string& path, const platform::NativePath& location)
    : ICommonLog(path), nativeFileName(location), maxSize(kMaxSize) {
  Open();
  platform::ToLocalTime(platform::Now(), &lastTime);
}

TCommonLog::~TCommonLog() {
  std::lock_guard<std::mutex> lock(mutex);
  file.Close();
}

void TCommonLog::Open() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int error = file.Open(nativeFileName);
    if (error == 0) return;
    std::printf("TCommonLog fopen %s error: %d\n", fileName.c_str(), error);
    // Windows refuses the open while another process renames the file in
    // its own rotation, for a moment only: attempts one right after the
    // other would all fall in that moment.
    if (error == EACCES && attempt < 2)
      std::this_thread::sleep_for(std::chrono::milliseconds(20 << attempt));
  }
  fileName.clear();
}

std::int32_t TCommonLog::Write(std::int32_t level, const char* format, ...) {
  if (level > maxLevel) return 0;
  va_list arguments;
  va_start(arguments, format);
  std::int32_t result = -1;
  // The callers write from their own error handlers, on the way out of an
  // export: an exception from here (out of memory, say) would reach the
  // terminal and end it. A line that cannot be written is only a lost line.
  try {
    result = WriteLine(format, arguments);
  } catch (...) {
    result = -1;
  }
  va_end(arguments);
  return result;
}

std::int32_t TCommonLog::WriteLine(const char* format, va_list arguments) {
  const std::time_t now = platform::Now();  // before the lock: stamps may come out of order

  // The message is formatted before the lock. The whole line then leaves in
  // one write, so that no other thread or process appending to the file
  // comes between its parts.
  Message message;
  const int result = message.Format(format, arguments);

  std::lock_guard<std::mutex> lock(mutex);
  if (!second.known || second.time != now) LearnSecond(now);
  CheckRotation();
  line.assign("[").append(second.stamp).append("] : ");
  line.append(message.data(), message.size()).append("\n");
  if (fileName.empty()) {
    // Standard error is a text-mode stream itself.
    const bool written = std::fputs(line.c_str(), stderr) >= 0 && std::fflush(stderr) == 0;
    return written ? result : -1;
  }
  // A line that did not reach the file is not reported as written.
  return file.AppendText(line) ? result : -1;
}

void TCommonLog::CheckRotation() {
  if (fileName.empty() || !second.localKnown) return;
  const std::tm& current = second.local;

  // Only a later day of the year, or 1 January, is a new day: a clock set
  // back, or a first line on 2 January after 30 December, is not.
  const bool dayChanged =
      current.tm_yday > lastTime.tm_yday || (current.tm_yday == 0 && lastTime.tm_yday != 0);
  const bool sizeReached = file.Size() >= maxSize && (sizeRotationRefusedAt == 0 ||
                                                      second.time - sizeRotationRefusedAt >= 60 ||
                                                      second.time < sizeRotationRefusedAt);

  if (dayChanged || sizeReached) {
    char suffix[32] = {};
    std::strftime(suffix, sizeof suffix, "%Y%m%d_%H%M%S", &lastTime);
    const std::string newName = fileName + "." + suffix;
    platform::NativePath newLocation = nativeFileName;
    newLocation += platform::NativePathOf(std::string(".") + suffix);
    // "reloging" kept verbatim: log readers look for the line as it is.
    const int error = file.CloseAndMoveAside(
        nativeFileName, newLocation,
        Formatted("[%s] : Closed for reloging, passed day will be saved in %s", fileName.c_str(),
                  newName.c_str()));
    if (error != 0) {
      std::printf("renaming %s to %s failed with %d\n", fileName.c_str(), newName.c_str(), error);
      // Another process holds the file (Windows): the size limit would
      // start a rotation at every line. Once a minute is enough.
      sizeRotationRefusedAt = second.time;
    }
    Open();
  }
  lastTime = current;
}

void TCommonLog::LearnSecond(std::time_t now) {
  second.known = true;
  second.time = now;
  second.stamp = platform::CtimeText(now);
  second.localKnown = platform::ToLocalTime(now, &second.local);
}
