// The check and launch entry points and the process run, through the library
// as the terminal loads it and through the runs themselves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/update_runs.h"
#include "platform/process.h"
#include "tests/support/loaded_library.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"

namespace {

using Strings = std::vector<std::string>;

const char kUrl[] = "http://127.0.0.1:9/updates";
const char kWaitApp[] = "C:\\T\\terminal.exe";
const char kEscapedFiles[] =
    R"({\"Files\":[{\"name\":\"/MQL4/Libraries/A b.dll\",\"version\":1}]})";
const char kPlainFiles[] = R"({"Files":[{"name":"/MQL4/Libraries/A b.dll","version":1}]})";

TEST(UpdaterParameters, TakeTheValuesUnchangedWithALeadingBlank) {
  std::string parameters;
  ASSERT_TRUE(FormatUpdaterParameters("U", "W", "F", 4242, &parameters));
  EXPECT_EQ(parameters, " -u \"U\" -a \"W\" -f \"F\" -p \"4242\"");
}

TEST(UpdaterParameters, MustFitIn4095Characters) {
  // 24 characters of the format, 4 of the id.
  std::string parameters;
  EXPECT_TRUE(FormatUpdaterParameters("", "", std::string(4095 - 28, 'x'), 4242, &parameters));
  EXPECT_EQ(parameters.size(), 4095u);
  EXPECT_FALSE(FormatUpdaterParameters("", "", std::string(4096 - 28, 'x'), 4242, &parameters));
}

TEST(UpdaterParameters, PassOnlyWhenTheCompanionWouldReadTheSameValues) {
  const auto check = [](const std::string& url, const std::string& waitApp,
                        const std::string& files) {
    std::string parameters;
    EXPECT_TRUE(FormatUpdaterParameters(url, waitApp, files, 7, &parameters));
    return CheckUpdaterParameters(parameters, url, waitApp, files, 7);
  };
  EXPECT_EQ(check(kUrl, kWaitApp, kEscapedFiles), "");
  EXPECT_EQ(check(kUrl, "/home/t/terminal", "{}"), "");
  EXPECT_EQ(check("", "", ""), "");
  // Damage the unescaped command line allows.
  EXPECT_NE(check(kUrl, "C:\\T\\", kEscapedFiles), "");           // swallows the next value
  EXPECT_NE(check(kUrl, kWaitApp, kPlainFiles), "");              // splits the list
  EXPECT_NE(check("http://x/\"a", kWaitApp, kEscapedFiles), "");  // a quote in the address
  EXPECT_NE(check(kUrl, kWaitApp, R"({\"n\":\"a\\\"})"), "");  // escaped backslash before a quote
  EXPECT_NE(check(kUrl, kWaitApp, "a\" -p \"1"), "");          // smuggles arguments in
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override { test::DetachStandardInput(); }

  std::int32_t Launch(const std::string& url, const std::string& waitApp,
                      const std::string& files) {
    return library_.XLaunchUpdater(test::Utf16(url).c_str(), test::Utf16(waitApp).c_str(),
                                   test::Utf16(files).c_str());
  }
  Strings Log() const { return test::LogMessagesIn(library_.log_path()); }
  const std::string& Folder() const { return library_.library_directory(); }

  test::LoadedLibrary library_;
};

TEST_F(Launcher, HandsTheCompanionTheThreeValuesAndThisProcessId) {
  test::InstallFakeCompanion(Folder(), "0");
  EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), 0);
  EXPECT_EQ(test::RecordedArguments(Folder()),
            (Strings{"-u", kUrl, "-a", kWaitApp, "-f", kPlainFiles, "-p",
                     std::to_string(platform::CurrentProcessId())}));
  EXPECT_EQ(Log(), (Strings{std::string("Prepare to start apply updates. Params:\n\t") + kUrl +
                            "\n\t" + kWaitApp + "\n\t[\n\t\t" + kEscapedFiles + "\n\t]"}));
}

TEST_F(Launcher, ReturnsTheCompanionsExitCodeUnchanged) {
  for (const char* code : {"5", "-3", "0", "1"}) {
    test::InstallFakeCompanion(Folder(), code);
    EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), std::stoi(code));
    EXPECT_TRUE(test::FakeCompanionRan(Folder()));
  }
}

TEST_F(Launcher, AMissingCompanionGivesMinusOne) {
  EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), -1);
  EXPECT_EQ(Log().size(), 1u);  // the start line only
}

TEST_F(Launcher, RefusesValuesThatWouldReachTheCompanionChanged) {
  test::InstallFakeCompanion(Folder(), "0");
  EXPECT_EQ(Launch(kUrl, "C:\\T\\", kEscapedFiles), -1);
  EXPECT_EQ(Launch(kUrl, kWaitApp, kPlainFiles), -1);
  EXPECT_EQ(Launch("http://x/\"a", kWaitApp, kEscapedFiles), -1);
  EXPECT_FALSE(test::FakeCompanionRan(Folder()));

  const Strings log = Log();
  ASSERT_EQ(log.size(), 6u);
  for (std::size_t i = 1; i < log.size(); i += 2) {
    EXPECT_EQ(log[i].rfind("Updater not started: ", 0), 0u) << log[i];
    EXPECT_EQ(log[i].find('\n'), std::string::npos) << log[i];
  }
}

TEST_F(Launcher, RefusesParametersThatDoNotFitTheirBuffer) {
  test::InstallFakeCompanion(Folder(), "4");
  const std::size_t room = 4095 - 24 - std::string(kUrl).size() - std::string(kWaitApp).size() -
                           std::to_string(platform::CurrentProcessId()).size();
  EXPECT_EQ(Launch(kUrl, kWaitApp, std::string(room, 'x')), 4);
  EXPECT_TRUE(test::FakeCompanionRan(Folder()));

  test::InstallFakeCompanion(Folder(), "4");
  EXPECT_EQ(Launch(kUrl, kWaitApp, std::string(room + 1, 'x')), -1);
  EXPECT_FALSE(test::FakeCompanionRan(Folder()));
  EXPECT_EQ(Log().back(), "Updater not started: its parameters do not fit in 4095 characters");
}

}  // namespace
