// The update apply against a real loopback server and real files: the paths it
// forms, every log line, the swap through ".new" and ".old", and what it does
// when a download or a swap fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "tests/support/apply_fixture.h"
#include "update/update_observer.h"

namespace fs = std::filesystem;

namespace {

using test::Record;
using test::ScopedSwapHook;
using test::Strings;
using Apply = test::ApplyTest;

TEST_F(Apply, SwapsTheDownloadIntoPlaceAndLogsEveryStep) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 1);

  EXPECT_EQ(Installed("/Lib/Foo.dll"), "new version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.new"));
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  Strings expected = {"download save path: " + base_};
  for (const std::string& line : SwapLines("/Lib/Foo.dll")) expected.push_back(line);
  EXPECT_EQ(Log(), expected);
}

// Records what the apply shows, and cancels once file `cancelAt` has begun to
// arrive.
class CancellingObserver : public IUpdateObserver {
 public:
  explicit CancellingObserver(int cancelAt) : cancelAt_(cancelAt) {}
  void Downloading(const std::string& name, int index, int count) override {
    steps.push_back(name + " " + std::to_string(index) + "/" + std::to_string(count));
    armed_ = index >= cancelAt_;
  }
  void Received(std::uint64_t received, std::int64_t) override {
    cancelled_ = cancelled_ || (armed_ && received > 0);
  }
  void Retrying(int seconds) override { steps.push_back("retry " + std::to_string(seconds)); }
  void Installing(const std::string& name) override { steps.push_back("install " + name); }
  bool Cancelled() override { return cancelled_; }
  void Finished() override {}
  Strings steps;

 private:
  int cancelAt_;
  bool armed_ = false;
  bool cancelled_ = false;
};

TEST_F(Apply, ACancelKeepsWhatIsSwappedAndStopsTheDownloadUnderWay) {
  Install("/Lib/A.dll", "old A");
  Install("/Lib/B.dll", "old B");
  Serve("A.dll", "new A");
  Serve("B.dll", test::PatternBytes(200000));
  // Both arrive slowly, B over ten seconds.
  url_ = test::ControlBase() + "/faulty/slow/" + test::UniqueName("cancel") + "/" + served_.name();
  CancellingObserver observer(2);
  EXPECT_EQ(ApplyUpdates(url_, waitApp_, {Record("/Lib/A.dll"), Record("/Lib/B.dll")}, &observer),
            kUpdateCancelled);

  EXPECT_EQ(observer.steps, (Strings{"A.dll 1/2", "install A.dll", "B.dll 2/2"}));
  EXPECT_EQ(Installed("/Lib/A.dll"), "new A");
  EXPECT_EQ(Installed("/Lib/B.dll"), "old B");
  EXPECT_FALSE(Exists("/Lib/B.dll.new"));
  EXPECT_FALSE(Exists("/Lib/B.dll.old"));
  EXPECT_EQ(Log().back(), "Update cancelled by the user: 1 files installed before the cancel");
}

TEST_F(Apply, NothingMarkedWritesOnlyTheSavePath) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll", false)}), 0);
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_EQ(Log(), (Strings{"download save path: " + base_, "download save path: " + base_}));
}

TEST_F(Apply, RemovesALeftoverOldFileFirst) {
  Install("/Lib/Foo.dll", "old version");
  Install("/Lib/Foo.dll.old", "leftover");
  Serve("Foo.dll", "new version");
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 1);

  EXPECT_EQ(Installed("/Lib/Foo.dll"), "new version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[2], "Successfuly remove old file: " + base_ + "/Lib/Foo.dll.old");
  EXPECT_EQ(log[3], SwapLines("/Lib/Foo.dll")[1]);
}

TEST_F(Apply, InstallsAFileNewToTheInstallation) {
  Serve("Bar.dll", "brand new");
  EXPECT_EQ(Run({Record("/Lib/Bar.dll")}), 1);

  EXPECT_EQ(Installed("/Lib/Bar.dll"), "brand new");
  EXPECT_FALSE(Exists("/Lib/Bar.dll.new"));
  EXPECT_FALSE(Exists("/Lib/Bar.dll.old"));
  const std::string target = base_ + "/Lib/Bar.dll";
  const Strings log = Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "Error rename file:\n\t" + target + "\n\tto\n\t" + target + ".old");
  EXPECT_EQ(log[3], SwapLines("/Lib/Bar.dll")[2]);
}

TEST_F(Apply, FailedDownloadsAreSkippedAndNotCounted) {
  Install("/Lib/A.dll", "old a");
  Install("/Lib/B.dll", "old b");
  Install("/Lib/C.dll", "old c");
  Serve("B.dll", "new b");  // A and C are missing on the server
  EXPECT_EQ(Run({Record("/Lib/A.dll"), Record("/Lib/Skip.dll", false), Record("/Lib/B.dll"),
                 Record("/Lib/C.dll")}),
            1);

  EXPECT_EQ(Installed("/Lib/A.dll"), "old a");
  EXPECT_EQ(Installed("/Lib/B.dll"), "new b");
  EXPECT_EQ(Installed("/Lib/C.dll"), "old c");
  for (const char* name :
       {"/Lib/A.dll.old", "/Lib/C.dll.old", "/Lib/A.dll.new", "/Lib/C.dll.new"}) {
    EXPECT_FALSE(Exists(name)) << name;
  }
  const Strings log = Log();
  ASSERT_EQ(log.size(), 1u + 2 + 3 + 2);
  EXPECT_EQ(log[2], DownloadFailure(url_ + "/A.dll", "/Lib/A.dll"));
  EXPECT_EQ(log[7], DownloadFailure(url_ + "/C.dll", "/Lib/C.dll"));
}

TEST_F(Apply, AServerErrorOrACutOffBodyIsNeverInstalled) {
  Install("/Lib/500", "old program");
  Install("/Lib/1000", "old program");
  url_ = test::ControlBase() + "/status";
  EXPECT_EQ(Run({Record("/Lib/500")}), 0);
  url_ = test::ControlBase() + "/cutoff/4000";
  EXPECT_EQ(Run({Record("/Lib/1000")}), 0);

  EXPECT_EQ(Installed("/Lib/500"), "old program");
  EXPECT_EQ(Installed("/Lib/1000"), "old program");
  EXPECT_FALSE(Exists("/Lib/500.old"));
  EXPECT_FALSE(Exists("/Lib/1000.old"));
  // Both faults may pass: each was tried three times, with a line per retry.
  const Strings log = Log();
  ASSERT_EQ(log.size(), 10u);
  for (std::size_t retry : {2, 3, 7, 8}) {
    EXPECT_EQ(log[retry].rfind("Download of ", 0), 0u) << log[retry];
  }
  EXPECT_EQ(log[4].rfind("Error updating ", 0), 0u) << log[4];
  EXPECT_EQ(log[9].rfind("Error updating ", 0), 0u) << log[9];
}

TEST_F(Apply, FormsAddressesAndPathsWithoutNormalising) {
  // Nothing is served: only the addresses and paths in the log count here.
  url_ = served_.url() + "/";
  Run({Record("/Lib/Foo.dll"), Record("Foo.dll"), Record("\\Lib\\Foo.dll")});
  const Strings log = Log();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[1], "Start download file:\n\tfrom: " + url_ + "/Foo.dll\n\tto: " + base_ +
                        "/Lib/Foo.dll.new");
  EXPECT_EQ(log[3],
            "Start download file:\n\tfrom: " + url_ + "/Foo.dll\n\tto: " + base_ + "Foo.dll.new");
  EXPECT_EQ(log[5], "Start download file:\n\tfrom: " + url_ + "/\\Lib\\Foo.dll\n\tto: " + base_ +
                        "\\Lib\\Foo.dll.new");
}

TEST_F(Apply, AnApplicationPathWithoutFolderIsAnError) {
  EXPECT_THROW(ApplyUpdates(url_, "terminal.exe", {Record("/Lib/Foo.dll")}), std::invalid_argument);
  EXPECT_TRUE(Log().empty());
}

// The seam's actions, as another program might take them between the move
// aside and the move into place.
void DeleteTheDownload(const std::string& newPath, const std::string&) { fs::remove(newPath); }
void BlockTheTarget(const std::string&, const std::string& targetPath) {
  fs::create_directories(targetPath + "/inside");
}

TEST_F(Apply, AMissingDownloadPutsThePreviousFileBack) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  ScopedSwapHook hook(DeleteTheDownload);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[3], "Can't find file: " + target + ".new");
  EXPECT_EQ(log[4], "Previous file restored:\n\t" + target + ".old\n\tto\n\t" + target);
}

TEST_F(Apply, AnOldCopyIsNeverDeletedOrMovedOverAFile) {
  // The file missing, its ".old" the only copy: a download that then goes
  // missing too leaves that copy.
  Install("/Lib/Foo.dll.old", "previous");
  Serve("Foo.dll", "new version");
  {
    ScopedSwapHook hook(DeleteTheDownload);
    EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);
  }
  EXPECT_EQ(Installed("/Lib/Foo.dll.old"), "previous");
  // A repair moves it back onto an absent name only, never over a file
  // another update has just moved in.
  Install("/Lib/Foo.dll", "moved in by another update");
  EXPECT_FALSE(RestorePreviousFile(base_ + "/Lib/Foo.dll.old", base_ + "/Lib/Foo.dll", nullptr));
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "moved in by another update");
  EXPECT_EQ(Installed("/Lib/Foo.dll.old"), "previous");
}

// A second update of a library in one session: the previous update's copy
// is still loaded under ".old" (the terminal runs it), and the installed
// file too (the companion runs it). The update installs, or says why not.
TEST_F(Apply, ASecondUpdateOfALoadedLibraryInstallsOrSaysWhy) {
  const std::string library = test::ReadFile(test::FixtureLibraryPath("version_both"));
  Install("/Lib/v.dll", library);
  Install("/Lib/v.dll.old", library);
  const platform::LibraryHandle terminals = platform::LoadDynamicLibrary(base_ + "/Lib/v.dll.old");
  const platform::LibraryHandle companions = platform::LoadDynamicLibrary(base_ + "/Lib/v.dll");
  ASSERT_NE(terminals, nullptr);
  ASSERT_NE(companions, nullptr);
  Serve("v.dll", "new version");
  const std::int32_t result = Run({Record("/Lib/v.dll")});
  platform::FreeDynamicLibrary(companions);
  platform::FreeDynamicLibrary(terminals);

  const Strings log = Log();
  if (result == 1) {
    EXPECT_EQ(Installed("/Lib/v.dll"), "new version");
  } else {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Installed("/Lib/v.dll"), library);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Restart the terminal and update again"), std::string::npos)
        << log.back();
  }
  std::printf("a second update of a loaded library: %s\n",
              result == 1 ? "installed" : log.back().c_str());
}

TEST_F(Apply, ARestoreThatFailsIsLoggedAndKeepsThePreviousFileAside) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  ScopedSwapHook hook(BlockTheTarget);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), 0);

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll.old"), "old version");
  EXPECT_EQ(Installed("/Lib/Foo.dll.new"), "new version");
  const Strings log = Log();
  ASSERT_EQ(log.size(), 7u);
  const std::string restore = "Error restore previous file: ";
  EXPECT_EQ(log[6].rfind(restore, 0), 0u) << log[6];
  EXPECT_NE(log[6].find("\n\tfrom: " + target + ".old\n\tto: " + target), std::string::npos);
}

TEST_F(Apply, RecordsThatNameNoFileAreSkippedAndTheFoldersLeftAlone) {
  fs::create_directories(base_ + "/Lib/Folder");
  // The server's own folder page is what such a record would download.
  Serve("index.html", "<html>a listing</html>");
  const Strings names = {"", "/", "/Lib/", "/Lib/Folder"};
  TFileInfoList records;
  for (const std::string& name : names) records.push_back(Record(name));
  EXPECT_EQ(Run(records), 0);

  EXPECT_EQ(
      Log(),
      (Strings{"download save path: " + base_, "Skipped a record whose name has no file part: \"\"",
               "Skipped a record whose name has no file part: \"/\"",
               "Skipped a record whose name has no file part: \"/Lib/\"",
               "Skipped a record whose target is a folder: " + base_ + "/Lib/Folder"}));
  EXPECT_TRUE(fs::is_directory(base_ + "/Lib/Folder"));
  for (const std::string& leftover : {base_ + ".new", base_ + ".old", base_ + "/Lib/Folder.new",
                                      base_ + "/Lib/Folder.old", base_ + "/.new"}) {
    EXPECT_FALSE(test::FileExists(leftover)) << leftover;
  }
}

[[noreturn]] void RunOutOfMemory(const std::string&, const std::string&) { throw std::bad_alloc(); }

TEST_F(Apply, AnExceptionBetweenTheMovesPutsThePreviousFileBack) {
  Install("/Lib/Foo.dll", "old version");
  Serve("Foo.dll", "new version");
  ScopedSwapHook hook(RunOutOfMemory);
  EXPECT_EQ(Run({Record("/Lib/Foo.dll")}), -1);

  const std::string target = base_ + "/Lib/Foo.dll";
  EXPECT_EQ(Installed("/Lib/Foo.dll"), "old version");
  EXPECT_FALSE(Exists("/Lib/Foo.dll.old"));
  const Strings log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2],
            "Previous file restored:\n\t" + target + ".old\n\tto\n\t" + target);
  EXPECT_EQ(log.back(), "Error when perform update: std::bad_alloc");
}

TEST_F(Apply, AQueryThatFailsStopsTheRunWithMinusOne) {
  Install("/Lib/A.dll", "old a");
  Install("/Lib/B.dll", "old b");
  Serve("A.dll", "new a");
  Serve("B.dll", "new b");
  std::error_code error;
  // A link to itself cannot be queried.
  fs::create_symlink("A.dll.old", base_ + "/Lib/A.dll.old", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  EXPECT_EQ(Run({Record("/Lib/A.dll"), Record("/Lib/B.dll")}), -1);

  EXPECT_EQ(Installed("/Lib/A.dll"), "old a");
  EXPECT_EQ(Installed("/Lib/B.dll"), "old b");
  EXPECT_EQ(Log().size(), 2u);  // B was never started
}

}  // namespace
