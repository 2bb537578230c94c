// The log file: line format, levels, rotation, fallback and concurrency.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "log/common_log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/testing.h"
#include "tests/support/log_writers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"

namespace fs = std::filesystem;

namespace {

std::atomic<std::time_t> g_fakeNow{0};
std::time_t FakeNow() { return g_fakeNow.load(); }

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// The system's own ctime layout, the day always with two digits.
std::string Stamp(std::time_t time) {
  std::string text = std::ctime(&time);
  text.pop_back();
  if (text[8] == ' ') text[8] = '0';
  return text;
}

// Every line feed as a text-mode stream stores it.
std::string Stored(const std::string& text) {
  std::string stored;
  for (char c : text) {
    if (c == '\n') {
      stored += platform::kTextModeLineEnd;
    } else {
      stored += c;
    }
  }
  return stored;
}

class CommonLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTime(LocalTime(2016, 1, 22, 21, 14, 5)); }
  void TearDown() override { platform::SetNowForTesting(nullptr); }

  void SetTime(std::time_t time) {
    g_fakeNow = time;
    platform::SetNowForTesting(&FakeNow);
  }

  std::string Line(const std::string& message) const {
    return "[" + Stamp(g_fakeNow) + "] : " + message + "\n";
  }

  test::ScratchDirectory directory_;
  std::string path_ = directory_.File("KorvanUpdaterLog.log");
};

TEST_F(CommonLogTest, LinesCarryTheCtimeStampAndAreFlushedAtOnce) {
  TCommonLog log(path_);
  EXPECT_EQ(log.Write(4, "Result check = %d", 1), static_cast<int>(sizeof "Result check = 1") - 1);
  // Read while the log is still open: nothing waits in a buffer.
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("Result check = 1")));
  EXPECT_EQ(Stamp(g_fakeNow).size(), 24u);
  EXPECT_EQ(platform::CtimeText(g_fakeNow), Stamp(g_fakeNow));
}

TEST_F(CommonLogTest, ADayBelowTenHasALeadingZero) {
  SetTime(LocalTime(2016, 1, 2, 9, 5, 7));
  TCommonLog log(path_);
  log.Write(4, "Result check = %d", 1);
  EXPECT_EQ(test::ReadFile(path_), Stored("[Sat Jan 02 09:05:07 2016] : Result check = 1\n"));
}

TEST_F(CommonLogTest, LevelsAboveFiveAreDroppedAndNegativeLevelsPass) {
  TCommonLog log(path_);
  EXPECT_EQ(log.Write(5, "five"), 4);
  EXPECT_EQ(log.Write(6, "six"), 0);
  EXPECT_EQ(log.Write(-1, "minus one"), 9);
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("five") + Line("minus one")));
}

TEST_F(CommonLogTest, ContinuationLinesHaveNoStamp) {
  TCommonLog log(path_);
  log.Write(4, "Start check update:\n\turl = %s\n\twaitApp = %s", "http://a", "C:\\T\\t.exe");
  EXPECT_EQ(test::ReadFile(path_),
            Stored(Line("Start check update:\n\turl = http://a\n\twaitApp = C:\\T\\t.exe")));
}

TEST_F(CommonLogTest, AppendsToAnExistingFile) {
  test::WriteFile(path_, Stored("earlier run\n"));
  {
    TCommonLog log(path_);
    log.Write(4, "first");
  }
  TCommonLog log(path_);
  log.Write(4, "second");
  EXPECT_EQ(test::ReadFile(path_), Stored("earlier run\n" + Line("first") + Line("second")));
}

TEST_F(CommonLogTest, ANewDayClosesTheFileUnderTheTimeOfItsLastLine) {
  TCommonLog log(path_);
  SetTime(LocalTime(2016, 1, 22, 23, 59, 59));
  log.Write(4, "late");
  const std::string late = Line("late");
  SetTime(LocalTime(2016, 1, 23, 0, 0, 1));
  log.Write(4, "early");

  const std::string rotated = path_ + ".20160122_235959";
  ASSERT_TRUE(test::FileExists(rotated));
  EXPECT_EQ(test::ReadFile(rotated),
            Stored(late + "[" + path_ + "] : Closed for reloging, passed day will be saved in " +
                   rotated));
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("early")));
}

TEST_F(CommonLogTest, AFolderTheNarrowTextCannotNameIsOpenedAndRotatedThroughItsOwnSpelling) {
  const std::u16string folder = test::Utf16(directory_.path()) + u"/\u7ec8\u7aef \u0434";
  fs::create_directories(fs::path(folder));
  const fs::path location = fs::path(folder) / "KorvanUpdaterLog.log";
  const std::string text = WideToAnsi((folder + u"/KorvanUpdaterLog.log").c_str());
  TCommonLog log(text, location);
  SetTime(LocalTime(2016, 1, 22, 23, 59, 59));
  log.Write(4, "late");
  const std::string late = Line("late");
  SetTime(LocalTime(2016, 1, 23, 0, 0, 1));
  log.Write(4, "early");

  fs::path rotated = location;
  rotated += ".20160122_235959";
  EXPECT_EQ(test::ReadFile(rotated),
            Stored(late + "[" + text + "] : Closed for reloging, passed day will be saved in " +
                   text + ".20160122_235959"));
  EXPECT_EQ(test::ReadFile(location), Stored(Line("early")));
}

TEST_F(CommonLogTest, FirstLineOfTheDayIsTheOneThatRotates) {
  // The previous line's time names the file, even when it was the
  // construction time.
  TCommonLog log(path_);
  SetTime(LocalTime(2016, 1, 23, 12, 0, 0));
  log.Write(4, "next day");
  EXPECT_TRUE(test::FileExists(path_ + ".20160122_211405"));
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("next day")));
}

TEST_F(CommonLogTest, NewYearRotatesButAGapOverNewYearOrAClockSetBackDoesNot) {
  struct Case {
    std::time_t before, after;
    bool rotates;
  };
  const Case cases[] = {
      {LocalTime(2015, 12, 31, 12, 0, 0), LocalTime(2016, 1, 1, 12, 0, 0), true},
      {LocalTime(2015, 12, 30, 12, 0, 0), LocalTime(2016, 1, 2, 12, 0, 0), false},
      {LocalTime(2016, 3, 10, 12, 0, 0), LocalTime(2016, 3, 9, 12, 0, 0), false},
      {LocalTime(2016, 3, 10, 8, 0, 0), LocalTime(2016, 3, 10, 23, 0, 0), false},
  };
  for (const Case& c : cases) {
    test::ScratchDirectory directory;
    const std::string path = directory.File("KorvanUpdaterLog.log");
    SetTime(c.before);
    TCommonLog log(path);
    log.Write(4, "before");
    SetTime(c.after);
    log.Write(4, "after");
    const auto entries = std::distance(fs::directory_iterator(directory.path()), {});
    EXPECT_EQ(entries, c.rotates ? 2 : 1) << Stamp(c.before) << " -> " << Stamp(c.after);
  }
}

TEST_F(CommonLogTest, SizeLimitIsReadAsA64BitPosition) {
  struct Case {
    std::uintmax_t size;
    bool rotates;
  };
  // Just below the limit, at it, and past 2 GiB and 4 GiB where a 32-bit
  // position would read negative or small.
  const Case cases[] = {{TCommonLog::kMaxSize - 1, false},
                        {TCommonLog::kMaxSize, true},
                        {3 * static_cast<std::uintmax_t>(TCommonLog::kMaxSize), true},
                        {4 * static_cast<std::uintmax_t>(TCommonLog::kMaxSize) + 10, true}};
  for (const Case& c : cases) {
    test::ScratchDirectory directory;
    const std::string path = directory.File("KorvanUpdaterLog.log");
    test::WriteFile(path, "");
    fs::resize_file(path, c.size);
    {
      TCommonLog log(path);
      log.Write(4, "same day");
    }
    const std::string rotated = path + ".20160122_211405";
    EXPECT_EQ(test::FileExists(rotated), c.rotates) << c.size;
    if (c.rotates) {
      EXPECT_EQ(test::ReadFile(path), Stored(Line("same day")));
      EXPECT_GE(fs::file_size(rotated), c.size);
    } else {
      EXPECT_EQ(fs::file_size(path), c.size + Stored(Line("same day")).size());
    }
  }
}

TEST_F(CommonLogTest, AnExistingRotatedFileIsNeverReplaced) {
  const std::string rotated = path_ + ".20160122_211405";
  test::WriteFile(rotated, "kept");
  TCommonLog log(path_);
  log.Write(4, "first");
  const std::string first = Line("first");
  SetTime(LocalTime(2016, 1, 23, 9, 0, 0));

  testing::internal::CaptureStdout();
  log.Write(4, "second");
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(test::ReadFile(rotated), "kept");
  EXPECT_EQ(printed.rfind("renaming " + path_ + " to " + rotated + " failed with ", 0), 0u)
      << printed;
  // Logging goes on in the same file, right after the closing remark.
  EXPECT_EQ(test::ReadFile(path_),
            Stored(first + "[" + path_ + "] : Closed for reloging, passed day will be saved in " +
                   rotated + Line("second")));
}

TEST_F(CommonLogTest, ARefusedRotationForSizeIsTriedAgainAfterAMinuteOnly) {
  test::WriteFile(path_, "");
  fs::resize_file(path_, TCommonLog::kMaxSize);
  // The rotated name is taken, as another process's open file would refuse it.
  test::WriteFile(path_ + ".20160122_211405", "kept");
  TCommonLog log(path_);
  testing::internal::CaptureStdout();
  for (int second : {5, 20, 40}) {
    SetTime(LocalTime(2016, 1, 22, 21, 14, second));
    log.Write(4, "within the minute");
  }
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(test::Split(printed, '\n').size(), 1u) << printed;
  EXPECT_FALSE(test::FileExists(path_ + ".20160122_211440"));
  SetTime(LocalTime(2016, 1, 22, 21, 15, 6));
  log.Write(4, "a minute later");
  EXPECT_TRUE(test::FileExists(path_ + ".20160122_211440"));
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("a minute later")));
}

TEST_F(CommonLogTest, AtMidnightTwoWritersGiveTheNewDaysLinesTheCurrentName) {
  // Each object opens the file for itself, as two processes do.
  TCommonLog first(path_);
  TCommonLog second(path_);
  SetTime(LocalTime(2016, 1, 22, 23, 59, 59));
  first.Write(4, "day one, first");
  second.Write(4, "day one, second");
  SetTime(LocalTime(2016, 1, 23, 0, 0, 1));
  first.Write(4, "day two, first");
  second.Write(4, "day two, second");
  first.Write(4, "day two, first again");

  const std::string log = test::ReadFile(path_);
  for (const char* line : {"day two, first", "day two, second", "day two, first again"}) {
    EXPECT_NE(log.find(Stored(Line(line))), std::string::npos) << line;
  }
  for (const auto& entry : fs::directory_iterator(directory_.path())) {
    if (entry.path().string() == path_) continue;
    EXPECT_EQ(test::ReadFile(entry.path()).find("day two"), std::string::npos) << entry.path();
  }
}

TEST_F(CommonLogTest, AnUnopenableFileFallsBackToStandardError) {
  const std::string path = directory_.File("missing") + "/KorvanUpdaterLog.log";
  testing::internal::CaptureStdout();
  TCommonLog log(path);
  const std::string printed = testing::internal::GetCapturedStdout();
  const std::string attempt = "TCommonLog fopen " + path + " error: 2\n";
  EXPECT_EQ(printed, attempt + attempt + attempt);

  testing::internal::CaptureStderr();
  EXPECT_EQ(log.Write(4, "to stderr %d", 7), 11);
  SetTime(LocalTime(2016, 1, 25, 9, 0, 0));  // the fallback never rotates
  log.Write(4, "again");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors,
            "[" + Stamp(LocalTime(2016, 1, 22, 21, 14, 5)) + "] : to stderr 7\n" + Line("again"));
  EXPECT_FALSE(test::FileExists(path));
}

// Writers sharing the log while every line rotates it: the threads of one
// process, and two processes with a log object each, as the terminal and the
// companion have.
struct SharedLogCase {
  const char* name;
  bool separateProcesses;
};

void PrintTo(const SharedLogCase& shared, std::ostream* out) { *out << shared.name; }

class SharedLogTest : public CommonLogTest, public ::testing::WithParamInterface<SharedLogCase> {
 protected:
  void WriteFromProcesses(int writers, int lines) {
    const std::string program =
        (fs::path(test::ArtifactDirectory()) / ("korvan_log_writer" KORVAN_TEST_EXECUTABLE_SUFFIX))
            .string();
    std::vector<std::thread> starters;
    for (int writer = 0; writer < writers; ++writer) {
      starters.emplace_back([=] {
        std::int32_t code = -1;
        EXPECT_TRUE(platform::StartProgramAndWait(
            program,
            " rotate \"" + path_ + "\" " + std::to_string(writer) + " " + std::to_string(writers) +
                " " + std::to_string(lines),
            &code));
        EXPECT_EQ(code, 0) << "writer " << writer;
      });
    }
    for (auto& starter : starters) starter.join();
  }

  void WriteFromThreads(int writers, int lines) {
    test::AdvanceADayEveryLine(0);
    TCommonLog log(path_);
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
      threads.emplace_back([&log, writer, lines] {
        EXPECT_EQ(test::WriteNumberedLines(log, writer, lines), 0) << "writer " << writer;
      });
    }
    for (auto& thread : threads) thread.join();
  }
};

TEST_P(SharedLogTest, EveryLineIsFoundOnceAndWholeInTheLogOrARotatedFile) {
  constexpr int kWriters = 2;
  constexpr int kLines = 150;
  if (GetParam().separateProcesses) {
    if (!KORVAN_TEST_PROCESSES_SHARE_LOG) GTEST_SKIP() << "see tests/cmake/log_writer.cmake";
    WriteFromProcesses(kWriters, kLines);
  } else {
    WriteFromThreads(kWriters, kLines);
  }

  std::vector<int> found(kWriters * kLines, 0);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(directory_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.find("-writer") != std::string::npos) continue;
    ++files;
    std::string unexpected;
    const std::string text = test::ReadFile(entry.path().string());
    for (const auto& [writer, line] : test::NumberedLinesIn(text, path_, &unexpected)) {
      ASSERT_TRUE(writer >= 0 && writer < kWriters && line >= 0 && line < kLines);
      ++found[writer * kLines + line];
    }
    EXPECT_EQ(unexpected, "") << "in " << name;
  }
  // On Windows an open log cannot be renamed, so between processes only the
  // rotations while the other process had closed it succeed.
  if (!GetParam().separateProcesses) {
    EXPECT_GT(files, 1);
  }
  int miscounted = 0;
  for (int i = 0; i < kWriters * kLines; ++i) {
    if (found[i] != 1 && ++miscounted <= 5) {
      ADD_FAILURE() << "writer " << i / kLines << " line " << i % kLines << " found " << found[i]
                    << " times";
    }
  }
  EXPECT_EQ(miscounted, 0);
}

INSTANTIATE_TEST_SUITE_P(Writers, SharedLogTest,
                         ::testing::Values(SharedLogCase{"Threads", false},
                                           SharedLogCase{"Processes", true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(CommonLogTest, TheHolderClosesTheFileWithItsLastReference) {
  g_log = std::make_shared<TCommonLog>(path_);
  std::shared_ptr<ICommonLog> other = g_log;
  g_log.reset();
  other->Write(4, "still open");
  other.reset();
  EXPECT_EQ(test::ReadFile(path_), Stored(Line("still open")));
  // Closed: the file can be renamed away (Windows refuses while it is open).
  EXPECT_EQ(platform::RenameNoReplace(platform::NativePathOf(path_),
                                      platform::NativePathOf(path_ + ".moved")),
            0);
}

}  // namespace
