// The process-wide log: time-stamped lines in one file, rotated at the change
// of day or at 1 GiB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "platform/native_path.h"

#define KORVAN_PRINTF_FORMAT(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))

class ICommonLog {
 public:
  explicit ICommonLog(const std::string& path);
  virtual ~ICommonLog();
  ICommonLog(const ICommonLog&) = delete;
  ICommonLog& operator=(const ICommonLog&) = delete;

  // Writes one line if `level` <= maxLevel. Returns -1 without a stream, 0
  // when filtered, otherwise the character count of the caller's message.
  virtual std::int32_t Write(std::int32_t level, const char* format, ...)
      KORVAN_PRINTF_FORMAT(3, 4) = 0;

 protected:
  std::string fileName;  // empty in the fallback state
  std::int32_t maxLevel;
  std::mutex mutex;  // one whole line, a rotation, the final close
};

class TCommonLog : public ICommonLog {
 public:
  static constexpr std::int64_t kMaxSize = 0x40000000;  // 1 GiB

  explicit TCommonLog(const std::string& path);
  // `path` as the log's lines name it, `location` as the system reaches it:
  // the narrow text cannot name every folder the library may lie in.
  TCommonLog(const std::string& path, const platform::NativePath& location);
  ~TCommonLog() override;

  std::int32_t Write(std::int32_t level, const char* format, ...) override
      KORVAN_PRINTF_FORMAT(3, 4);

 private:
  void Open();
  void CheckRotation(std::time_t now);

  platform::NativePath nativeFileName;  // fileName in the system's spelling
  std::tm lastTime{};                   // local time of the last line, or of construction
  std::FILE* file;                      // the log file, or standard error in the fallback state
  std::int64_t maxSize;
};

// The one log object, created at library load and released at unload.
extern std::shared_ptr<ICommonLog> g_log;

// The level every line of this system is written at.
constexpr std::int32_t kLogLevel = 4;
