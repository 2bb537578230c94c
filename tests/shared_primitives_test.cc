// The sections, flags and version text, through the library as the host loads it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

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

TEST(SharedPrimitives, SectionsAreRecursiveForTheirOwner) {
  LoadedLibrary library;
  for (int section = 0; section < 6; ++section) {
    ASSERT_EQ(library.extEnterCS(section), 1);
    EXPECT_NE(library.extTryEnterCS(section), 0);  // already owned: entered again

    std::atomic<int> otherThreadResult{-1};
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
  }
}

TEST(SharedPrimitives, FlagCallsWaitWhileAnotherThreadHoldsSectionFive) {
  LoadedLibrary library;
  library.extSetFlag(2, 11);
  ASSERT_EQ(library.extEnterCS(5), 1);
  // The holder itself may still use the flags.
  library.extSetFlag(2, 12);
  EXPECT_EQ(library.extGetFlag(2), 12);

  std::atomic<bool> readDone{false};
  std::atomic<int> valueRead{0};
  std::thread reader([&] {
    valueRead = library.extGetFlag(2);
    readDone = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(readDone) << "extGetFlag returned while section 5 was held by another thread";
  library.extSetFlag(2, 13);
  EXPECT_EQ(library.extLeaveCS(5), 1);
  reader.join();
  EXPECT_TRUE(readDone);
  EXPECT_EQ(valueRead, 13);
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
