// The companion program as the launcher starts it: its command line, its
// library beside it, and what it changes when either is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/module_path.h"
#include "platform/process.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kMalformedCommandLine = -10;
constexpr std::int32_t kLibraryUnavailable = -11;

class Companion : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DetachStandardInput();
    folder_ = (fs::path(scratch_.path()) / "terminal" / "MQL4" / "Libraries").string();
    fs::create_directories(folder_);
    fs::copy_file(test::CompanionPath(), fs::path(folder_) / platform::kCompanionFileName);
  }

  void InstallLibrary() {
    fs::copy_file(test::LibraryPath(), fs::path(folder_) / platform::kLibraryFileName);
  }

  std::int32_t Run(const std::string& parameters) {
    std::int32_t code = 12345;
    EXPECT_TRUE(platform::StartProgramAndWait(
        (fs::path(folder_) / platform::kCompanionFileName).string(), parameters, &code));
    return code;
  }

  // The library creates it two levels above its folder as soon as it loads.
  bool LibraryWasLoaded() const {
    return test::FileExists(scratch_.File("terminal/KorvanUpdaterLog.log"));
  }

  test::ScratchDirectory scratch_;
  std::string folder_;
};

TEST_F(Companion, RefusesAMalformedCommandLineWithoutLoadingTheLibrary) {
  InstallLibrary();
  const char* const malformed[] = {
      "",
      R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}")",                  // no -p
      R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p "12x")",         // not an id
      R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p "4294967296")",  // too large
      R"( -u "a" -u "b" -a "C:\T\t.exe" -f "{}" -p "1")",                     // twice
      R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p "1" -x "y")",    // unknown
      R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p)",               // no value
  };
  for (const char* parameters : malformed) {
    EXPECT_EQ(Run(parameters), kMalformedCommandLine) << parameters;
  }
  EXPECT_FALSE(LibraryWasLoaded());
}

TEST_F(Companion, NeedsTheLibraryInItsOwnFolder) {
  // The build folder it was copied from holds a library; that one must not do.
  EXPECT_EQ(Run(R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p "1")"), kLibraryUnavailable);
  test::WriteFile((fs::path(folder_) / platform::kLibraryFileName).string(), "not a library");
  EXPECT_EQ(Run(R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{}" -p "1")"), kLibraryUnavailable);
}

TEST_F(Companion, RunsTheUpdateThroughItsLibrary) {
  InstallLibrary();
  // An empty list: nothing to update whatever the server says.
  EXPECT_EQ(Run(R"( -u "http://127.0.0.1:9" -a "C:\T\t.exe" -f "{\"Files\":[]}" -p "0")"), 0);
  EXPECT_TRUE(LibraryWasLoaded());
}

}  // namespace
