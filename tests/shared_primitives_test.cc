// The sections, flags and version text, through the library as the host loads it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loaded_library.h"

namespace {

using test::LoadedLibrary;

TEST(SharedPrimitives, FlagsStartAtZeroAndKeepWhatIsSet) {
  LoadedLibrary library;
  for (int flag = 0; flag < 10; ++flag) EXPECT_EQ(library.extGetFlag(flag), 0) << flag;
  library.extSetFlag(3, 7);
  EXPECT_EQ(library.extGetFlag(3), 7);
  library.extSetFlag(9, -5);
  EXPECT_EQ(library.extGetFlag(9), -5);
}

TEST(SharedPrimitives, NumbersOutsideTheTablesAreRefused) {
  LoadedLibrary library;
  for (int flag : {10, 11, -1, -2147483647 - 1}) {
    library.extSetFlag(flag, 7);
    EXPECT_EQ(library.extGetFlag(flag), 0) << flag;
  }
  for (int flag = 0; flag < 10; ++flag) EXPECT_EQ(library.extGetFlag(flag), 0) << flag;
  for (int section : {6, 7, -1, -2147483647 - 1}) {
    EXPECT_EQ(library.extEnterCS(section), 0) << section;
    EXPECT_EQ(library.extTryEnterCS(section), 0) << section;
    EXPECT_EQ(library.extLeaveCS(section), 0) << section;
  }
}

TEST(SharedPrimitives, SectionsAreRecursiveForTheirOwnerWhoAloneLeavesThem) {
  LoadedLibrary library;
  for (int section = 0; section < 6; ++section) {
    ASSERT_EQ(library.extEnterCS(section), 1);
    EXPECT_NE(library.extTryEnterCS(section), 0);  // already owned: entered again

    std::atomic<int> otherThreadResult{-1};
    std::thread([&] { otherThreadResult = library.extTryEnterCS(section); }).join();
    EXPECT_EQ(otherThreadResult, 0) << section;
    // Nor can another thread leave it for the owner: refused, and still held.
    std::thread([&] { otherThreadResult = library.extLeaveCS(section); }).join();
    EXPECT_EQ(otherThreadResult, 0) << section;
    std::thread([&] { otherThreadResult = library.extTryEnterCS(section); }).join();
    EXPECT_EQ(otherThreadResult, 0) << section;

    EXPECT_EQ(library.extLeaveCS(section), 1);
    // One leave is not enough: the second enter needs its own.
    std::thread([&] { otherThreadResult = library.extTryEnterCS(section); }).join();
    EXPECT_EQ(otherThreadResult, 0) << section;

    EXPECT_EQ(library.extLeaveCS(section), 1);
    std::thread([&] {
      otherThreadResult = library.extTryEnterCS(section);
      if (otherThreadResult != 0) library.extLeaveCS(section);
    }).join();
    EXPECT_NE(otherThreadResult, 0) << section;
    EXPECT_EQ(library.extLeaveCS(section), 0) << "a section nobody holds";
  }
}

// Both flag calls hold section 5, the very section the host can hold.
struct FlagCall {
  const char* name;
  bool sets;
};

void PrintTo(const FlagCall& call, std::ostream* out) { *out << call.name; }

class FlagCallTest : public ::testing::TestWithParam<FlagCall> {};

TEST_P(FlagCallTest, WaitsWhileAnotherThreadHoldsSectionFive) {
  LoadedLibrary library;
  library.extSetFlag(2, 11);
  ASSERT_EQ(library.extEnterCS(5), 1);
  // The holder itself may still use the flags.
  library.extSetFlag(2, 12);
  EXPECT_EQ(library.extGetFlag(2), 12);

  std::atomic<bool> done{false};
  std::atomic<int> valueRead{0};
  std::thread other([&] {
    if (GetParam().sets) {
      library.extSetFlag(2, 20);
    } else {
      valueRead = library.extGetFlag(2);
    }
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << GetParam().name << " returned while section 5 was held by another thread";
  EXPECT_EQ(library.extGetFlag(2), 12);
  library.extSetFlag(2, 13);
  EXPECT_EQ(library.extLeaveCS(5), 1);
  other.join();
  EXPECT_TRUE(done);
  if (GetParam().sets) {
    EXPECT_EQ(library.extGetFlag(2), 20);
  } else {
    EXPECT_EQ(valueRead, 13);
  }
}

INSTANTIATE_TEST_SUITE_P(SharedPrimitives, FlagCallTest,
                         ::testing::Values(FlagCall{"extGetFlag", false},
                                           FlagCall{"extSetFlag", true}),
                         [](const auto& test) { return std::string(test.param.name); });

// Eight threads call every primitive and write to the log at once, for a
// bounded number of rounds and time.
TEST(SharedPrimitives, EightThreadsAtOnceKeepEveryCountExactAndEveryLineWhole) {
  constexpr int kThreads = 8;
  constexpr int kMaxRounds = 3000;
  constexpr int kCounterFlag = 9;  // raised under a held section 5
  LoadedLibrary library;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);

  // Changed only while the section of the same number is held.
  long sectionCounters[6] = {};
  struct Tally {
    int rounds = 0;
    long entered[6] = {};
    int wrong = 0;  // flag read-backs or version texts that came out wrong
  };
  std::vector<Tally> tallies(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Tally& tally = tallies[t];
      const std::u16string url = u"http://127.0.0.1/writer" + std::u16string(1, u'0' + t);
      for (; tally.rounds < kMaxRounds && std::chrono::steady_clock::now() < deadline;
           ++tally.rounds) {
        const int section = (t + tally.rounds) % 6;
        library.extEnterCS(section);
        ++sectionCounters[section];
        ++tally.entered[section];
        library.extLeaveCS(section);
        if (library.extTryEnterCS(section) != 0) {
          ++sectionCounters[section];
          ++tally.entered[section];
          library.extLeaveCS(section);
        }

        library.extEnterCS(5);
        library.extSetFlag(kCounterFlag, library.extGetFlag(kCounterFlag) + 1);
        library.extLeaveCS(5);
        library.extSetFlag(t, tally.rounds);  // this thread's own flag
        if (library.extGetFlag(t) != tally.rounds) ++tally.wrong;

        char* version = library.extGetVersion();
        if (version == nullptr || std::strcmp(version, "1.1.2") != 0) ++tally.wrong;
        std::free(version);

        // A stray quote: the launcher refuses with two lines and starts nothing.
        library.XLaunchUpdater(url.c_str(), u"C:\\Terminal\\terminal.exe", u"a\"b");
      }
    });
  }
  for (auto& thread : threads) thread.join();

  long allRounds = 0;
  for (int t = 0; t < kThreads; ++t) {
    allRounds += tallies[t].rounds;
    EXPECT_EQ(tallies[t].wrong, 0) << "thread " << t;
    EXPECT_EQ(library.extGetFlag(t), tallies[t].rounds - 1) << "thread " << t;
  }
  EXPECT_EQ(library.extGetFlag(kCounterFlag), allRounds);
  for (int section = 0; section < 6; ++section) {
    long entered = 0;
    for (const Tally& tally : tallies) entered += tally.entered[section];
    EXPECT_EQ(sectionCounters[section], entered) << "section " << section;
  }

  // Every line whole: each message is one of the two the launcher writes for
  // one thread's call, each exactly once per round; a launch that meets
  // another may also say that it waits for it.
  std::map<std::string, long> messages;
  for (const std::string& message : test::LogMessagesIn(library.logPath())) ++messages[message];
  messages.erase("Another update run of this process is under way, waiting for it");
  long lines = 0;
  for (int t = 0; t < kThreads; ++t) {
    const std::string prepare =
        "Prepare to start apply updates. Params:\n\thttp://127.0.0.1/writer" + std::to_string(t) +
        "\n\tC:\\Terminal\\terminal.exe\n\t[\n\t\ta\"b\n\t]";
    EXPECT_EQ(messages[prepare], tallies[t].rounds) << prepare;
    lines += messages[prepare];
  }
  for (const auto& [message, count] : messages) {
    if (message.rfind("Updater not started: ", 0) == 0) lines += count;
  }
  EXPECT_EQ(lines, 2 * allRounds);
  EXPECT_EQ(messages.size(), kThreads + 1u) << "a line was torn or interleaved";
}

TEST(SharedPrimitives, VersionTextIsANewBufferEveryCall) {
  LoadedLibrary library;
  char* first = library.extGetVersion();
  char* second = library.extGetVersion();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, "1.1.2");
  EXPECT_STREQ(second, "1.1.2");
  // The host never frees them; the test does, to keep the leak checker quiet.
  std::free(first);
  std::free(second);
}

}  // namespace
