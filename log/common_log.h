// The process-wide log: time-stamped lines in one file, rotated at the change
// of day or at 1 GiB.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "platform/native_path.h"
#include "platform/append_file.h"

#define KORVAN_PRINTF_FORMAT(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))

class ICommonLog {
 public:
  explicit ICommonLog(const std::string& path);
  virtual ~ICommonLog();
  ICommonLog(const ICommonLog&) = delete;
  ICommonLog& operator=(const ICommonLog&) = delete;

  // Writes one line if `level` <= maxLevel. Returns 0 when filtered, -1 when
  // the line could not be written, otherwise the character count of the
  // caller's message. Never throws: error handlers on the way out of an
  // export write with it.
  virtual std::int32_t Write(std::int32_t level, const char* format, ...)
      KORVAN_PRINTF_FORMAT(3, 4) = 0;

  // The folder the log's path names, with its final separator: the updater
  // keeps its small files beside the log. Empty when the path names none.
  const std::string& folder() const { return folder_; }

 protected:
  std::string fileName;  // empty in the fallback state
  std::int32_t maxLevel;
  std::mutex mutex;  // the file: every line, a rotation, the final close

 private:
  const std::string folder_;  // fixed at construction, unlike fileName
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
  // Write's work; may throw, which Write catches.
  std::int32_t WriteLine(const char* format, va_list arguments);
  // All three run under the mutex. CheckRotation looks at the second that
  // LearnSecond learnt last, the one of the line being written.
  void Open();
  void LearnSecond(std::time_t now);
  void CheckRotation();

  platform::NativePath nativeFileName;  // fileName in the system's spelling
  std::tm lastTime{};                   // local time of the last line, or of construction
  platform::AppendFile file;            // the log file; standard error takes its place in
                                        // the fallback state
  std::int64_t maxSize;
  // When a rotation for size was last refused; 0 when none was.
  std::time_t sizeRotationRefusedAt = 0;

  // The lines of one second share its stamp and local time, which take
  // longer to work out than the rest of a line.
  struct Second {
    bool known = false;
    std::time_t time = 0;
    std::string stamp;
    bool localKnown = false;
    std::tm local{};
  };
  Second second;
  std::string line;  // the line being written; its room is kept for the next
};

// The one log object, created at library load and released at unload.
extern std::shared_ptr<ICommonLog> g_log;

// The level every line of this system is written at.
constexpr std::int32_t kLogLevel = 4;
