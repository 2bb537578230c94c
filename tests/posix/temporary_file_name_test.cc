// mkstemp's naming: the prefix and six characters it chooses.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/temp_files.h"
#include "tests/support/test_support.h"

namespace {

TEST(TemporaryFileName, PrefixAndSixCharacters) {
  test::ScratchDirectory scratch;
  // A directory without its final separator gets one.
  const std::string path = platform::CreateTemporaryFile(scratch.path(), "upd");
  EXPECT_EQ(path.substr(0, scratch.path().size() + 1), scratch.path() + "/");
  const std::string name = std::filesystem::path(path).filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex("upd[A-Za-z0-9]{6}"))) << path;
}

}  // namespace
