// The temporary directory and the uniquely named files the update check
// fetches its manifest into, with the platform's own error numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/system_error.h"
#include "platform/temp_files.h"
#include "platform/testing.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string WithSeparator(const std::string& directory) {
  return (fs::path(directory) / "").string();
}

class TemporaryFiles : public ::testing::Test {
 protected:
  ~TemporaryFiles() override { platform::SetTemporaryDirectoryForTesting(""); }
  test::ScratchDirectory scratch_;
};

TEST_F(TemporaryFiles, DirectoryIsTheSystemsUnlessATestReplacesIt) {
  const std::string system = platform::TemporaryDirectory();
  ASSERT_FALSE(system.empty());
  EXPECT_TRUE(system.back() == '/' || system.back() == '\\') << system;
  EXPECT_TRUE(fs::is_directory(system)) << system;

  const std::string replaced = WithSeparator(scratch_.path());
  platform::SetTemporaryDirectoryForTesting(replaced);
  EXPECT_EQ(platform::TemporaryDirectory(), replaced);

  // A missing directory keeps its name: that is where it should be.
  const std::string missing = WithSeparator(scratch_.File("missing"));
  platform::SetTemporaryDirectoryForTesting(missing);
  EXPECT_EQ(platform::TemporaryDirectory(), missing);

  platform::SetTemporaryDirectoryForTesting("");
  EXPECT_EQ(platform::TemporaryDirectory(), system);
}

TEST_F(TemporaryFiles, MakingADirectoryTellsWhyItFailed) {
  const std::string fresh = WithSeparator(scratch_.File("fresh"));
  EXPECT_EQ(platform::MakeDirectory(fresh), 0);
  EXPECT_TRUE(fs::is_directory(fresh));

  const int existing = platform::MakeDirectory(fresh);
  EXPECT_NE(existing, 0);
  EXPECT_NE(existing, platform::kErrorPathNotFound);
  EXPECT_EQ(platform::LastError(), existing);

  const std::string orphan = WithSeparator(scratch_.File("missing") + "/temp");
  EXPECT_EQ(platform::MakeDirectory(orphan), platform::kErrorPathNotFound);
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  EXPECT_FALSE(fs::exists(orphan));
}

TEST_F(TemporaryFiles, EachFileIsNewEmptyAndNamedWithThePrefix) {
  const std::string directory = WithSeparator(scratch_.path());
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    const std::string path = platform::CreateTemporaryFile(directory, "upd");
    ASSERT_FALSE(path.empty());
    const fs::path file(path);
    EXPECT_TRUE(fs::equivalent(file.parent_path(), scratch_.path())) << path;
    EXPECT_EQ(file.filename().string().substr(0, 3), "upd") << path;
    EXPECT_TRUE(fs::is_regular_file(file)) << path;
    EXPECT_EQ(fs::file_size(file), 0u) << path;
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 20u);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 20);
}

TEST_F(TemporaryFiles, NoFileInAMissingDirectory) {
  platform::SetLastError(0);
  EXPECT_EQ(platform::CreateTemporaryFile(WithSeparator(scratch_.File("missing")), "upd"), "");
  EXPECT_NE(platform::LastError(), 0);
}

TEST_F(TemporaryFiles, RemovingReportsAMissingFile) {
  const std::string path = platform::CreateTemporaryFile(scratch_.path(), "upd");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(platform::RemoveFile(path), 0);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_NE(platform::RemoveFile(path), 0);
}

}  // namespace
