// A process that ends while its threads write to the log. Windows stops those
// threads wherever they are, perhaps one holding the log's lock, before it
// unloads the library; the unload must not wait for that lock.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/module_path.h"
#include "platform/process.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(LogAtProcessEnd, AProcessEndingWhileItsThreadsWriteEndsAndLeavesWholeLines) {
  const std::string program =
      (fs::path(test::ArtifactDirectory()) / ("korvan_log_writer" KORVAN_TEST_EXECUTABLE_SUFFIX))
          .string();
  // A thread is inside the log's lock at the end of most runs, not all.
  for (int run = 0; run < 4; ++run) {
    test::ScratchDirectory scratch;
    const fs::path libraries = fs::path(scratch.path()) / "MQL4" / "Libraries";
    fs::create_directories(libraries);
    const std::string library = (libraries / platform::kLibraryFileName).string();
    fs::copy_file(test::LibraryPath(), library);

    // Without the fix this never returns; ctest's time limit ends the test.
    std::int32_t code = -1;
    ASSERT_TRUE(platform::StartProgramAndWait(program, " exit \"" + library + "\"", &code));
    EXPECT_EQ(code, 0);

    const auto messages = test::LogMessagesIn(scratch.File("KorvanUpdaterLog.log"));
    EXPECT_FALSE(messages.empty());
    for (const std::string& message : messages) {
      const bool whole =
          message.rfind("Prepare to start apply updates. Params:\n\thttp://127.0.0.1/\n\t", 0) ==
              0 ||
          message.rfind("Updater not started: ", 0) == 0 ||
          message == "Another update run of this process is under way, waiting for it";
      ASSERT_TRUE(whole) << message;
    }
  }
}

}  // namespace
