// Writers for the log's rotation tests, shared by the test program and the
// helper program that writes from a process of its own.
#pragma once

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

}  // namespace test
