// Command lines split by the Windows rules on every platform, and programs
// started and waited for with their exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLineSplitting, FollowsTheWindowsRules) {
  struct Case {
    const char* text;
    Arguments expected;
  };
  const Case cases[] = {
      {R"("a b c" d e)", {"a b c", "d", "e"}},
      {R"("ab\"c" "\\" d)", {"ab\"c", "\\", "d"}},
      {R"(a\\\b d"e f"g h)", {"a\\\\\\b", "de fg", "h"}},
      {R"(a\\\"b c d)", {"a\\\"b", "c", "d"}},
      {R"(a\\\\"b c" d e)", {"a\\\\b c", "d", "e"}},
      {R"(a"b"" c d)", {"ab\" c d"}},  // "" inside quotes: a literal quote
      {"", {}},
      {" \t ", {}},
      {R"(  ""  x)", {"", "x"}},
      {"a\tb", {"a", "b"}},
      {R"("C:\T\" -f "x")", {"C:\\T\" -f x"}},  // a value ending in a backslash swallows the next
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SplitCommandLineArguments(c.text), c.expected) << c.text;
  }
}

TEST(CommandLineSplitting, EscapedQuotesOfTheFilesValueArrivePlain) {
  const std::string parameters =
      R"( -u "http://127.0.0.1/up" -a "C:\T\terminal.exe" -f "{\"Files\":[{\"name\":\"/a b.dll\"}]}" -p "42")";
  EXPECT_EQ(platform::SplitCommandLineArguments(parameters),
            (Arguments{"-u", "http://127.0.0.1/up", "-a", "C:\\T\\terminal.exe", "-f",
                       R"({"Files":[{"name":"/a b.dll"}]})", "-p", "42"}));
}

TEST(CommandLineSplitting, ProgramNameTakesNoEscapes) {
  EXPECT_EQ(platform::SplitCommandLine(R"("C:\Program Files\K\KorvanUpdater.exe"  -u "a")"),
            (Arguments{"C:\\Program Files\\K\\KorvanUpdater.exe", "-u", "a"}));
  EXPECT_EQ(platform::SplitCommandLine(R"(C:\K\run.exe "x y")"),
            (Arguments{"C:\\K\\run.exe", "x y"}));
}

class ProgramStart : public ::testing::Test {
 protected:
  void SetUp() override { test::DetachStandardInput(); }

  std::string Program() const { return scratch_.File(platform::kCompanionFileName); }

  // Runs the stand-in, which exits as `exitBehaviour` says.
  std::int32_t Run(const std::string& exitBehaviour, const std::string& parameters = "") {
    test::InstallFakeCompanion(scratch_.path(), exitBehaviour);
    std::int32_t code = 12345;
    EXPECT_TRUE(platform::StartProgramAndWait(Program(), parameters, &code));
    return code;
  }

  test::ScratchDirectory scratch_;
};

TEST_F(ProgramStart, ArgumentsArriveSplitByTheWindowsRules) {
  const std::string parameters =
      R"( -u "http://127.0.0.1/up" -a "/T dir/terminal.exe" -f "{\"Files\":[]}" -p "42")";
  EXPECT_EQ(Run("0", parameters), 0);
  EXPECT_EQ(test::RecordedArguments(scratch_.path()),
            (Arguments{"-u", "http://127.0.0.1/up", "-a", "/T dir/terminal.exe", "-f",
                       R"({"Files":[]})", "-p", "42"}));
}

TEST_F(ProgramStart, AProgramInAFolderWithBlanksGetsItsArgumentsWhole) {
  const std::string folder = scratch_.File("Program Files");
  std::filesystem::create_directory(folder);
  test::InstallFakeCompanion(folder, "7");
  std::int32_t code = 0;
  ASSERT_TRUE(platform::StartProgramAndWait(
      (std::filesystem::path(folder) / platform::kCompanionFileName).string(),
      R"( -u "a b" -p "1")", &code));
  EXPECT_EQ(code, 7);
  EXPECT_EQ(test::RecordedArguments(folder), (Arguments{"-u", "a b", "-p", "1"}));
}

TEST_F(ProgramStart, ExitCodesArriveWithTheirSign) {
  EXPECT_EQ(Run("5"), 5);
  EXPECT_EQ(Run("-3"), -3);
  EXPECT_EQ(Run("127"), 127);
  EXPECT_EQ(Run("-128"), -128);
  // Where only a byte travels, a large count still arrives as a count and a
  // large failure as a failure.
  const std::int32_t large = Run(std::to_string(platform::ExitStatusFor(300)));
  EXPECT_EQ(large, platform::ExitStatusFor(300));
  EXPECT_GT(large, 0);
  const std::int32_t negative = Run(std::to_string(platform::ExitStatusFor(-300)));
  EXPECT_LT(negative, 0);
}

TEST_F(ProgramStart, AProgramThatDiesAbnormallyIsNoCount) {
  EXPECT_EQ(Run("abort"), KORVAN_TEST_ABORTED_PROGRAM_RESULT);
}

TEST_F(ProgramStart, AMissingProgramIsNotStarted) {
  std::int32_t code = 12345;
  EXPECT_FALSE(platform::StartProgramAndWait(scratch_.File("missing"), " -u \"x\"", &code));
  EXPECT_EQ(code, 12345);
}

TEST(CurrentProcess, IdIsStable) {
  EXPECT_NE(platform::CurrentProcessId(), 0u);
  EXPECT_EQ(platform::CurrentProcessId(), platform::CurrentProcessId());
}

}  // namespace
