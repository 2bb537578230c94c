// The update apply against files that Windows keeps from being moved or
// deleted: a file another program holds open, and a read-only file.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/system_error.h"
#include "tests/support/apply_fixture.h"

namespace {

namespace fs = std::filesystem;
using test::Record;
using test::ScopedSwapHook;
using test::Strings;
using Apply = test::ApplyTest;

// The C runtime opens files without letting others delete or rename them, as
// a virus scanner looking at a fresh download does.
std::ifstream g_holder;
void HoldTheDownloadOpen(const std::string& newPath, const std::string&) {
  g_holder.open(newPath, std::ios::binary);
}

TEST_F(Apply, ADownloadHeldOpenIsNotSwappedAndThePreviousFileComesBack) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  {
    ScopedSwapHook hook(HoldTheDownloadOpen);
    EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);
  }
  ASSERT_TRUE(g_holder.is_open());
  g_holder.close();

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_EQ(Installed("/Lib/Foo.dll.new"), "new version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[4], "Error rename file:\n\t" + target + ".new\n\tto\n\t" + target);
  EXPECT_EQ(log[5],
            "Error renaming " + target + ".new file to " + target +
                ". Error code =  32. File was not updated. Try to load setup file from site");
  EXPECT_EQ(log[6], "Previous file restored:\n\t" + target + ".old\n\tto\n\t" + target);
}

TEST_F(Apply, ATargetHeldOpenStaysAndTheDownloadWaitsBesideIt) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  std::ifstream holder(base_ + "/Lib/Foo.dll", std::ios::binary);
  ASSERT_TRUE(holder.is_open());
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);
  holder.close();

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_EQ(Installed("/Lib/Foo.dll.new"), "new version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2], "Error rename file:\n\t" + target + "\n\tto\n\t" + target + ".old");
  EXPECT_EQ(log[4], "Error rename file:\n\t" + target + ".new\n\tto\n\t" + target);
  EXPECT_EQ(log[5].rfind("Error renaming " + target + ".new file to " + target, 0), 0u);
}

TEST_F(Apply, AReadOnlyTargetIsReplacedAndItsOldCopyStays) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  const std::string target = base_ + "/Lib/Foo.dll";
  fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 1);

  EXPECT_EQ(Installed("/Lib/Foo.dll"), "new version");
  EXPECT_EQ(Installed("/Lib/Foo.dll.old"), "old version");
  const Strings log = Log();
  ASSERT_EQ(log.size(), 5u);
  // The system's text for error 5 (access denied), without its line end and
  // full stop.
  std::string denied = platform::SystemErrorText(5);
  denied.erase(denied.find_last_not_of("\r\n.") + 1);
  EXPECT_EQ(log[4], "Error remove file after update: " + denied + "\n\tfile: " + target + ".old");
  fs::permissions(target + ".old", fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
