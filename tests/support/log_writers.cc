#include "tests/support/log_writers.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdarg>
#include <ctime>
#include <fstream>
#include <new>
#include <thread>

#include "platform/clock.h"
#include "platform/testing.h"

namespace test {
namespace {

constexpr char kContinuation[] = "padding padding padding padding";
constexpr std::time_t kDay = 24 * 60 * 60;

std::atomic<std::time_t> g_clock{0};
std::time_t NextDay() { return g_clock.fetch_add(kDay); }

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
  if (text.size() < from + count) return false;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// The length of the closing remark at `at`, or 0.
std::size_t RemarkAt(const std::string& text, std::size_t at, const std::string& path) {
  const std::string remark =
      "[" + path + "] : Closed for reloging, passed day will be saved in " + path + ".";
  if (text.compare(at, remark.size(), remark) != 0) return 0;
  const std::size_t suffix = at + remark.size();  // "%Y%m%d_%H%M%S"
  if (!Digits(text, suffix, 8) || text.compare(suffix + 8, 1, "_") != 0 ||
      !Digits(text, suffix + 9, 6)) {
    return 0;
  }
  return remark.size() + 15;
}

// The length of the numbered line at `at`, storing its numbers, or 0.
std::size_t LineAt(const std::string& text, std::size_t at, std::pair<int, int>* numbers) {
  // "[" + 24-character stamp + "] : writer W line I:" + continuation
  constexpr std::size_t kStamp = 1 + 24;
  if (text.compare(at, 1, "[") != 0 || text.compare(at + kStamp, 11, "] : writer ") != 0) return 0;
  int consumed = 0;
  if (std::sscanf(text.c_str() + at + kStamp + 11, "%d line %d:%n", &numbers->first,
                  &numbers->second, &consumed) != 2 ||
      consumed == 0) {
    return 0;
  }
  const std::string end = platform::kTextModeLineEnd;
  const std::string rest = end + "\t" + kContinuation + end;
  const std::size_t rest_at = at + kStamp + 11 + static_cast<std::size_t>(consumed);
  if (text.compare(rest_at, rest.size(), rest) != 0) return 0;
  return rest_at + rest.size() - at;
}

}  // namespace

void AdvanceADayEveryLine(int hour) {
  std::tm start{};
  start.tm_year = 2016 - 1900;
  start.tm_mday = 1;
  start.tm_hour = hour;
  start.tm_isdst = -1;
  g_clock = std::mktime(&start);
  platform::SetNowForTesting(&NextDay);
}

bool MeetOtherWriters(const std::string& path, int writer, int writers) {
  // Beside the log, under names no rotation produces.
  const auto ready = [&path](int number) { return path + "-writer" + std::to_string(number); };
  std::ofstream(ready(writer)).close();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (int other = 0; other < writers; ++other) {
    while (!std::ifstream(ready(other)).good()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

int WriteNumberedLines(ICommonLog& log, int writer, int lines) {
  int failed = 0;
  for (int line = 0; line < lines; ++line) {
    const int written = log.Write(4, "writer %d line %d:\n\t%s", writer, line, kContinuation);
    const int length =
        std::snprintf(nullptr, 0, "writer %d line %d:\n\t%s", writer, line, kContinuation);
    if (written != length) ++failed;
  }
  return failed;
}

std::vector<std::pair<int, int>> NumberedLinesIn(const std::string& text, const std::string& path,
                                                 std::string* unexpected) {
  std::vector<std::pair<int, int>> found;
  std::size_t at = 0;
  while (at < text.size()) {
    std::pair<int, int> numbers;
    if (const std::size_t remark = RemarkAt(text, at, path)) {
      at += remark;
    } else if (const std::size_t line = LineAt(text, at, &numbers)) {
      found.push_back(numbers);
      at += line;
    } else {
      *unexpected = text.substr(at, 200);
      break;
    }
  }
  return found;
}

class ScopedThrowingLog::Log : public ICommonLog {
 public:
  Log(std::shared_ptr<ICommonLog> next, int throwAt)
      : ICommonLog(std::string()), next_(std::move(next)), throwAt_(throwAt) {}

  std::int32_t Write(std::int32_t level, const char* format, ...) override
      KORVAN_PRINTF_FORMAT(3, 4) {
    if (++lines_ == throwAt_) throw std::bad_alloc();
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return next_ ? next_->Write(level, "%s", text) : 0;
  }
  int lines() const { return lines_.load(); }

 private:
  std::shared_ptr<ICommonLog> next_;
  const int throwAt_;
  std::atomic<int> lines_{0};
};

ScopedThrowingLog::ScopedThrowingLog(int throwAt)
    : replaced_(g_log), log_(std::make_shared<Log>(g_log, throwAt)) {
  g_log = log_;
}

ScopedThrowingLog::~ScopedThrowingLog() { g_log = replaced_; }

int ScopedThrowingLog::lines() const { return log_->lines(); }

}  // namespace test
