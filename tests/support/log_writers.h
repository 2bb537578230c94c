// Writers for the log's tests, shared by the test program and the helper
// program that writes from a process of its own, and a log that fails.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "log/common_log.h"

namespace test {

// From now on every reading of the clock is one day after the previous one,
// so that every line rotates the log. The clock starts on 1 January 2016 at
// `hour` o'clock: writers in different processes, each with its own clock,
// give their rotated files different names.
void AdvanceADayEveryLine(int hour);

// Marks `writer` as ready beside the log at `path` and waits, up to a minute,
// until all `writers` are; false when they were not in time.
bool MeetOtherWriters(const std::string& path, int writer, int writers);

// Writes `lines` numbered lines of `writer`, each followed by a continuation
// line, and returns how many of them Write did not report as written.
int WriteNumberedLines(ICommonLog& log, int writer, int lines);

// The numbered lines found in `text` (a log file's content), as (writer,
// line) pairs. Closing remarks of the rotation of `path` are passed over;
// anything else, such as a torn or interleaved line, is returned in
// `*unexpected` with what follows it.
std::vector<std::pair<int, int>> NumberedLinesIn(const std::string& text, const std::string& path,
                                                 std::string* unexpected);

// Stands in for g_log while it lives: throws std::bad_alloc at its
// `throwAt`-th line (counted from 1; 0 never) and passes every other line to
// the log it replaced, so that a test can make each line of a run fail.
class ScopedThrowingLog {
 public:
  explicit ScopedThrowingLog(int throwAt);
  ~ScopedThrowingLog();
  ScopedThrowingLog(const ScopedThrowingLog&) = delete;
  ScopedThrowingLog& operator=(const ScopedThrowingLog&) = delete;

  // The lines asked for so far, the thrown one included.
  int lines() const;

 private:
  class Log;
  std::shared_ptr<ICommonLog> replaced_;
  std::shared_ptr<Log> log_;
};

}  // namespace test
