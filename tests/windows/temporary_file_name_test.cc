// The system's temporary-file naming: prefix, hexadecimal number, ".TMP"
// (Windows writes it in capitals, Wine in small letters).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/temp_files.h"
#include "tests/support/test_support.h"

namespace {

TEST(TemporaryFileName, PrefixHexadecimalNumberAndTmp) {
  test::ScratchDirectory scratch;
  const std::string path = platform::CreateTemporaryFile(scratch.path() + "\\", "upd");
  const std::string name = std::filesystem::path(path).filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex("upd[0-9A-F]{1,4}\\.TMP", std::regex::icase)))
      << path;
  EXPECT_EQ(path.substr(0, scratch.path().size() + 1), scratch.path() + "\\");
}

}  // namespace
