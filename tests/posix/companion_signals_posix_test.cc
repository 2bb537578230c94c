// The real companion stopped by SIGINT or SIGTERM in the middle of a slow
// download: a clean cancel, as the progress window's Cancel on Windows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/module_path.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "update/update_observer.h"

namespace {

namespace fs = std::filesystem;

TEST(CompanionSignals, CancelTheUpdateCleanlyWithMinusFour) {
  test::ServedFolder served;
  served.Put("updateinfo.txt", R"({"Files": [{"name": "Acme.ex4", "version": 2}]})");
  served.Put("Acme.ex4", test::PatternBytes(200000));
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    test::ScratchDirectory scratch;
    const fs::path terminal = fs::path(scratch.path()) / "terminal";
    const fs::path libraries = terminal / "MQL4" / "Libraries";
    fs::create_directories(libraries);
    fs::create_directories(terminal / "MQL4" / "Experts");
    fs::copy_file(test::CompanionPath(), libraries / platform::kCompanionFileName);
    fs::copy_file(test::LibraryPath(), libraries / platform::kLibraryFileName);
    const fs::path installed = terminal / "MQL4" / "Experts" / "Acme.ex4";
    test::WriteFile(installed, "old");

    const std::string program = (libraries / platform::kCompanionFileName).string();
    const std::string url = test::ControlBase() + "/faulty/slow/" +
                            test::UniqueName(std::to_string(signal)) + "/" + served.name();
    const std::string waitApp = (terminal / "terminal.exe").string();
    const std::string files = R"({"Files":[{"name":"/MQL4/Experts/Acme.ex4","version":1}]})";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execl(program.c_str(), program.c_str(), "-u", url.c_str(), "-a", waitApp.c_str(), "-f",
            files.c_str(), "-p", "0", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Once the download is under way.
    const fs::path download = installed.string() + ".new";
    for (int i = 0; i < 200 && !test::FileExists(download); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(test::FileExists(download));
    const auto sent = std::chrono::steady_clock::now();
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(static_cast<std::int8_t>(WEXITSTATUS(status)), kUpdateCancelled);
    EXPECT_EQ(test::ReadFile(installed), "old");
    EXPECT_FALSE(test::FileExists(download));
    const std::vector<std::string> log = test::LogMessagesIn(terminal / "KorvanUpdaterLog.log");
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Update cancelled by the user: 0 files installed before the cancel"),
              log.end());
  }
}

}  // namespace
