// The update apply when the system refuses to move a download into place, as
// a POSIX system refuses: a folder cannot replace a file.
#include <gtest/gtest.h>

#include "tests/support/apply_fixture.h"

namespace {

namespace fs = std::filesystem;
using test::Record;
using test::ScopedSwapHook;
using test::Strings;
using Apply = test::ApplyTest;

void PutAFolderInTheWay(const std::string& newPath, const std::string& targetPath) {
  fs::rename(newPath, newPath + ".saved");
  fs::create_directories(newPath + "/inside");
  test::WriteFile(targetPath, "stray");
}
TEST_F(Apply, AFailedSwapPutsThePreviousFileBack) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  ScopedSwapHook hook(PutAFolderInTheWay);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  EXPECT_TRUE(Exists("/Lib/Foo.dll.new"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[4], "Error rename file:\n\t" + target + ".new\n\tto\n\t" + target);
  const std::string prefix =
      "Error renaming " + target + ".new file to " + target + ". Error code =  ";
  EXPECT_EQ(log[5].rfind(prefix, 0), 0u) << log[5];
  EXPECT_NE(log[5].find(". File was not updated. Try to load setup file from site"),
            std::string::npos);
  EXPECT_NE(log[5].substr(prefix.size(), 1), "0");
  EXPECT_EQ(log[6], "Previous file restored:\n\t" + target + ".old\n\tto\n\t" + target);
}

TEST_F(Apply, AReplacedProgramStaysRunnable) {
  Install("/Lib/tool", "old program");
  fs::permissions(base_ + "/Lib/tool", fs::perms::owner_all | fs::perms::group_read,
                  fs::perm_options::replace);
  Serve("tool", "new program");
  EXPECT_EQ(Run({Record("/Lib/tool")}), 1);
  EXPECT_EQ(Installed("/Lib/tool"), "new program");
  EXPECT_EQ(fs::status(base_ + "/Lib/tool").permissions(),
            fs::perms::owner_all | fs::perms::group_read);
}

}  // namespace
