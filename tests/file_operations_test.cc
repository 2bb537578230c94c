// The file operations of the update apply, on real files: what counts as
// absent, what a replacing move does, and the system's error numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

using platform::PathPresence;

PathPresence Query(const std::string& path, int* error = nullptr) {
  int ignored = 0;
  return platform::QueryPath(path, error != nullptr ? error : &ignored);
}

TEST(FileOperations, AbsenceIsToldFromOtherFailures) {
  test::ScratchDirectory scratch;
  test::WriteFile(scratch.File("here"), "x");
  EXPECT_EQ(Query(scratch.File("here")), PathPresence::kPresent);
  EXPECT_EQ(Query(scratch.path()), PathPresence::kPresent);
  EXPECT_EQ(Query(scratch.File("missing")), PathPresence::kAbsent);
  EXPECT_EQ(Query(scratch.File("missing/deeper/file")), PathPresence::kAbsent);
  // A file where a directory should be: the directory is not there.
  EXPECT_EQ(Query(scratch.File("here/file")), PathPresence::kAbsent);
}

TEST(FileOperations, AQueryThatFailsOtherwiseGivesTheSystemsError) {
  test::ScratchDirectory scratch;
  std::error_code error;
  fs::create_symlink("loop", scratch.File("loop"), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  int code = 0;
  EXPECT_EQ(Query(scratch.File("loop"), &code), PathPresence::kUnknown);
  EXPECT_NE(code, 0);
}

TEST(FileOperations, RemoveDeletesFilesAndEmptyFoldersAndReportsTheRest) {
  test::ScratchDirectory scratch;
  test::WriteFile(scratch.File("file"), "x");
  fs::create_directory(scratch.File("empty"));
  fs::create_directories(scratch.File("full/inner"));
  EXPECT_EQ(platform::RemovePath(scratch.File("file")), 0);
  EXPECT_EQ(platform::RemovePath(scratch.File("empty")), 0);
  EXPECT_FALSE(test::FileExists(scratch.File("file")));
  EXPECT_FALSE(test::FileExists(scratch.File("empty")));

  EXPECT_NE(platform::RemovePath(scratch.File("full")), 0);
  EXPECT_TRUE(test::FileExists(scratch.File("full/inner")));
  // ENOENT and ERROR_FILE_NOT_FOUND are both 2.
  EXPECT_EQ(platform::RemovePath(scratch.File("missing")), 2);
}

TEST(FileOperations, MoveReplacesAnExistingFile) {
  test::ScratchDirectory scratch;
  test::WriteFile(scratch.File("new"), "new content");
  test::WriteFile(scratch.File("target"), "old content");
  EXPECT_EQ(platform::MovePathReplacing(scratch.File("new"), scratch.File("target")), 0);
  EXPECT_EQ(test::ReadFile(scratch.File("target")), "new content");
  EXPECT_FALSE(test::FileExists(scratch.File("new")));
}

TEST(FileOperations, MoveOfAMissingFileOrOntoAFolderFailsAndKeepsBoth) {
  test::ScratchDirectory scratch;
  EXPECT_EQ(platform::MovePathReplacing(scratch.File("missing"), scratch.File("target")), 2);
  test::WriteFile(scratch.File("new"), "new content");
  fs::create_directories(scratch.File("target/inner"));
  EXPECT_NE(platform::MovePathReplacing(scratch.File("new"), scratch.File("target")), 0);
  EXPECT_EQ(test::ReadFile(scratch.File("new")), "new content");
  EXPECT_TRUE(test::FileExists(scratch.File("target/inner")));
}

TEST(FileOperations, MoveCopiesToAnotherVolume) {
  // Linux keeps /dev/shm in memory, apart from the temporary folder's disk.
  const fs::path otherVolume = "/dev/shm";
  std::error_code error;
  if (!fs::is_directory(otherVolume, error)) GTEST_SKIP() << "no second volume here";
  test::ScratchDirectory scratch;
  const std::string target = (otherVolume / fs::path(scratch.path()).filename()).string();
  const std::string content(300000, 'k');
  test::WriteFile(scratch.File("program"), content);
  fs::permissions(scratch.File("program"), fs::perms::owner_exec, fs::perm_options::add);
  // Windows has no such bit to keep.
  const bool executable = (fs::status(scratch.File("program")).permissions() &
                           fs::perms::owner_exec) != fs::perms::none;
  test::WriteFile(target, "previous");

  EXPECT_EQ(platform::MovePathReplacing(scratch.File("program"), target), 0);
  EXPECT_EQ(test::ReadFile(target), content);
  EXPECT_FALSE(test::FileExists(scratch.File("program")));
  if (executable) {
    EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
  }
  // Nothing of the copy is left beside it.
  std::size_t siblings = 0;
  for (const auto& entry : fs::directory_iterator(otherVolume)) {
    if (entry.path().filename().string().rfind(fs::path(target).filename().string(), 0) == 0) {
      ++siblings;
    }
  }
  EXPECT_EQ(siblings, 1u);
  fs::remove(target, error);
}

}  // namespace
