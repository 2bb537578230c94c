// The installation's lock: one holder per folder, whatever the path's
// spelling, also for a folder nobody may write to.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <iterator>
#include <string>

#include "platform/installation_lock.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::InstallationLock;
using platform::LockResult;

// What a holder elsewhere gets: its own thread, since a Windows mutex lets
// its owner's thread in again.
LockResult TryElsewhere(const std::string& folder) {
  return std::async(std::launch::async,
                    [&] {
                      InstallationLock other(folder);
                      return other.TryAcquire();
                    })
      .get();
}

TEST(InstallationLock, OneHolderPerFolderWhateverTheSpelling) {
  test::ScratchDirectory scratch;
  const std::string folder = scratch.File("T");
  fs::create_directories(folder + "/Sub");
  const std::string spellings[] = {folder, folder + "/", folder + "/Sub/..", folder + "//"};
  const fs::perms writable = fs::status(folder).permissions();
  for (const bool readOnly : {false, true}) {
    // A folder of a program installed for all users is not the user's to write.
    if (readOnly) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    InstallationLock lock(folder);
    ASSERT_EQ(lock.TryAcquire(), LockResult::kAcquired) << readOnly;
    for (const std::string& spelling : spellings) {
      EXPECT_EQ(TryElsewhere(spelling), LockResult::kBusy) << spelling;
    }
    // A spelling the path does not reveal: a link to the folder (a junction,
    // an 8.3 name, a subst drive on Windows) meets the same lock.
    const std::string link = scratch.File("link");
    std::error_code error;
    if (!fs::exists(link)) fs::create_directory_symlink(folder, link, error);
    if (!error) {
      EXPECT_EQ(TryElsewhere(link), LockResult::kBusy);
    } else {
      std::printf("no folder links here: %s\n", error.message().c_str());
    }
    lock.Release();
    EXPECT_EQ(TryElsewhere(folder + "/"), LockResult::kAcquired);
  }
  fs::permissions(folder, writable);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

}  // namespace
