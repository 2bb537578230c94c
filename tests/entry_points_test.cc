// The check and launch entry points and the process run, through the library
// as the terminal loads it and through the runs themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/update_runs.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/installation_lock.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "platform/temp_files.h"
#include "platform/testing.h"
#include "platform/text_conversion.h"
#include "tests/support/test_servers.h"
#include "tests/support/loaded_library.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/apply_testing.h"
#include "update/update.h"

namespace {

namespace fs = std::filesystem;
using test::Manifest;
using test::ManifestEntry;
using Strings = std::vector<std::string>;

const char kUrl[] = "http://127.0.0.1:9/updates";
const char kWaitApp[] = "C:\\T\\terminal.exe";
const char kEscapedFiles[] =
    R"({\"Files\":[{\"name\":\"/MQL4/Libraries/A b.dll\",\"version\":1}]})";
const char kPlainFiles[] = R"({"Files":[{"name":"/MQL4/Libraries/A b.dll","version":1}]})";

TEST(UpdaterParameters, TakeTheValuesUnchangedWithALeadingBlank) {
  std::string parameters;
  ASSERT_TRUE(FormatUpdaterParameters("U", "W", "F", 4242, &parameters));
  EXPECT_EQ(parameters, " -u \"U\" -a \"W\" -f \"F\" -p \"4242\"");
}

TEST(UpdaterParameters, MustFitIn4095Characters) {
  // 24 characters of the format, 4 of the id.
  std::string parameters;
  EXPECT_TRUE(FormatUpdaterParameters("", "", std::string(4095 - 28, 'x'), 4242, &parameters));
  EXPECT_EQ(parameters.size(), 4095u);
  EXPECT_FALSE(FormatUpdaterParameters("", "", std::string(4096 - 28, 'x'), 4242, &parameters));
}

TEST(UpdaterParameters, PassOnlyWhenTheCompanionWouldReadTheSameValues) {
  const auto check = [](const std::string& url, const std::string& waitApp,
                        const std::string& files) {
    std::string parameters;
    EXPECT_TRUE(FormatUpdaterParameters(url, waitApp, files, 7, &parameters));
    return CheckUpdaterParameters(parameters, url, waitApp, files, 7);
  };
  EXPECT_EQ(check(kUrl, kWaitApp, kEscapedFiles), "");
  EXPECT_EQ(check(kUrl, "/home/t/terminal", "{}"), "");
  EXPECT_EQ(check("", "", ""), "");
  // Damage the unescaped command line allows.
  EXPECT_NE(check(kUrl, "C:\\T\\", kEscapedFiles), "");           // swallows the next value
  EXPECT_NE(check(kUrl, kWaitApp, kPlainFiles), "");              // splits the list
  EXPECT_NE(check("http://x/\"a", kWaitApp, kEscapedFiles), "");  // a quote in the address
  EXPECT_NE(check(kUrl, kWaitApp, R"({\"n\":\"a\\\"})"), "");  // escaped backslash before a quote
  EXPECT_NE(check(kUrl, kWaitApp, "a\" -p \"1"), "");          // smuggles arguments in
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override { test::DetachStandardInput(); }

  std::int32_t Launch(const std::string& url, const std::string& waitApp,
                      const std::string& files) {
    return library_.XLaunchUpdater(test::Utf16(url).c_str(), test::Utf16(waitApp).c_str(),
                                   test::Utf16(files).c_str());
  }
  Strings Log() const { return test::LogMessagesIn(library_.logPath()); }
  const std::string& Folder() const { return library_.libraryDirectory(); }

  test::LoadedLibrary library_;
};

TEST_F(Launcher, HandsTheCompanionTheThreeValuesAndThisProcessId) {
  test::InstallFakeCompanion(Folder(), "0");
  EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), 0);
  EXPECT_EQ(test::RecordedArguments(Folder()),
            (Strings{"-u", kUrl, "-a", kWaitApp, "-f", kPlainFiles, "-p",
                     std::to_string(platform::CurrentProcessId())}));
  EXPECT_EQ(Log(), (Strings{std::string("Prepare to start apply updates. Params:\n\t") + kUrl +
                            "\n\t" + kWaitApp + "\n\t[\n\t\t" + kEscapedFiles + "\n\t]"}));
}

TEST_F(Launcher, ReturnsTheCompanionsExitCodeUnchanged) {
  for (const char* code : {"5", "-3", "0", "1"}) {
    test::InstallFakeCompanion(Folder(), code);
    EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), std::stoi(code));
    EXPECT_TRUE(test::FakeCompanionRan(Folder()));
  }
}

TEST_F(Launcher, PutsBackACompanionThatAnInterruptedUpdateLeftAside) {
  test::InstallFakeCompanion(Folder(), "7");
  const fs::path companion = fs::path(Folder()) / platform::kCompanionFileName;
  fs::rename(companion, companion.string() + ".old");
  EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), 7);
  EXPECT_TRUE(test::FakeCompanionRan(Folder()));
  EXPECT_FALSE(test::FileExists(companion.string() + ".old"));
  const Strings log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].rfind("Previous file restored:\n\t", 0), 0u) << log[1];
}

TEST_F(Launcher, AMissingCompanionGivesMinusOne) {
  EXPECT_EQ(Launch(kUrl, kWaitApp, kEscapedFiles), -1);
  EXPECT_EQ(Log().size(), 1u);  // the start line only
}

TEST_F(Launcher, RefusesValuesThatWouldReachTheCompanionChanged) {
  test::InstallFakeCompanion(Folder(), "0");
  EXPECT_EQ(Launch(kUrl, "C:\\T\\", kEscapedFiles), -1);
  EXPECT_EQ(Launch(kUrl, kWaitApp, kPlainFiles), -1);
  EXPECT_EQ(Launch("http://x/\"a", kWaitApp, kEscapedFiles), -1);
  EXPECT_FALSE(test::FakeCompanionRan(Folder()));

  const Strings log = Log();
  ASSERT_EQ(log.size(), 6u);
  for (std::size_t i = 1; i < log.size(); i += 2) {
    EXPECT_EQ(log[i].rfind("Updater not started: ", 0), 0u) << log[i];
    EXPECT_EQ(log[i].find('\n'), std::string::npos) << log[i];
  }
}

TEST_F(Launcher, RefusesParametersThatDoNotFitTheirBuffer) {
  test::InstallFakeCompanion(Folder(), "4");
  const std::size_t room = 4095 - 24 - std::string(kUrl).size() - std::string(kWaitApp).size() -
                           std::to_string(platform::CurrentProcessId()).size();
  EXPECT_EQ(Launch(kUrl, kWaitApp, std::string(room, 'x')), 4);
  EXPECT_TRUE(test::FakeCompanionRan(Folder()));

  test::InstallFakeCompanion(Folder(), "4");
  EXPECT_EQ(Launch(kUrl, kWaitApp, std::string(room + 1, 'x')), -1);
  EXPECT_FALSE(test::FakeCompanionRan(Folder()));
  EXPECT_EQ(Log().back(), "Updater not started: its parameters do not fit in 4095 characters");
}

// A scratch installation of three data files (never probed: their versions
// are the list's), a server folder with a manifest, the log, recorded boxes
// and a temporary folder of the test's own.
class UpdateRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch_.File("temp"));
    platform::SetTemporaryDirectoryForTesting(scratch_.File("temp") +
                                              platform::kPreferredSeparator);

    url_ = served_.url();
    base_ = scratch_.File("T");
    fs::create_directories(base_ + "/Lib");
    waitApp_ = base_ + platform::kPreferredSeparator + "terminal.exe";
    for (const char* name : {"A.dat", "B.dat", "C.dat"}) {
      test::WriteFile(base_ + "/Lib/" + name, std::string("installed ") + name);
    }
    // A and C are newer on the server, B is not.
    served_.Put("updateinfo.txt",
                Manifest({ManifestEntry("A.dat", 1, 0, 1), ManifestEntry("B.dat", 2, 0, 0),
                          ManifestEntry("C.dat", 3, 0, 0)}));
  }
  void TearDown() override { platform::SetTemporaryDirectoryForTesting(""); }

  std::string Installed(const std::string& name) const {
    return test::ReadFile(base_ + "/Lib/" + name);
  }

  // The local list, with its quotes as given or escaped.
  static std::string Files(int cVersion = 1, bool escaped = false) {
    const std::string list =
        Manifest({ManifestEntry("/Lib/A.dat", 1, 0, 0), ManifestEntry("/Lib/B.dat", 2, 0, 0),
                  ManifestEntry("/Lib/C.dat", cVersion, 0, 0)});
    return escaped ? ReplaceAll(list, "\"", "\\\"") : list;
  }

  std::int32_t Check(const std::string& files) {
    return XCheckForUpdates(test::Utf16(url_).c_str(), test::Utf16(waitApp_).c_str(),
                            test::Utf16(files).c_str());
  }
  Strings Log() const { return log_.Messages(); }
  // The installation's folder as the runs spell it.
  std::string Folder() const {
    return ReplaceAll(ReplaceAll(base_, "\\", "/"), "/", platform::kPreferredSeparator);
  }
  bool LogHas(const std::string& message) const {
    const Strings log = Log();
    return std::find(log.begin(), log.end(), message) != log.end();
  }

  test::ScopedTestLog log_;
  test::ScratchDirectory scratch_;
  test::ScopedBoxRecorder boxes_;
  test::ServedFolder served_;
  std::string url_, base_, waitApp_;
};

const char kConfirmation[] = "Files: \n/Lib/A.dat\n/Lib/C.dat\n\nDo you want to download?";

TEST_F(UpdateRun, CheckAsksAboutExactlyTheMarkedFilesInListOrder) {
  const platform::ComCallCounts before = platform::ComCallCountsOnThisThread();
  EXPECT_EQ(Check(Files(1, true)), 1);
  EXPECT_EQ(Check(Files(1, true)), 1);

  ASSERT_EQ(boxes_.boxes().size(), 2u);
  for (const auto& box : boxes_.boxes()) {
    EXPECT_EQ(box.text, kConfirmation);
    EXPECT_EQ(box.caption, "New version of files available");
    EXPECT_EQ(box.style, 65u);
  }
  // COM is in and out again before the check, so none is held while the box
  // waits.
  EXPECT_EQ(boxes_.boxes()[0].com.initialized, before.initialized + 1);
  EXPECT_EQ(boxes_.boxes()[0].com.released, before.released + 1);
  EXPECT_EQ(platform::ComCallCountsOnThisThread().initialized, before.initialized + 2);
  EXPECT_EQ(platform::ComCallCountsOnThisThread().released, before.released + 2);

  const Strings log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "Start check update:\n\turl = " + url_ + "\n\twaitApp = " + waitApp_ +
                             "\n\tfiles = [\n\t\t" + Files(1, true) + "\n\t]");
  EXPECT_TRUE(LogHas("Result check = 1"));
  EXPECT_FALSE(LogHas("User cancel updates"));
}

TEST_F(UpdateRun, CheckRefusesBeforeAskingWhatTheLaunchCouldNotPassOn) {
  const std::string tooLong = R"({\"Files\": [], \"x\": \")" + std::string(4000, 'x') + "\\\"}";
  const struct {
    std::string files;
    std::string reason;
  } rows[] = {
      {Files(1, false), "the files argument would reach it changed, as: "},
      {tooLong, "its parameters do not fit in 4095 characters"},
  };
  for (const auto& row : rows) {
    boxes_.boxes().clear();
    EXPECT_EQ(Check(row.files), 0);
    const std::string notice =
        "No update can be offered: the updater could not be started with these values, as " +
        row.reason;
    const Strings log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 2].rfind(notice, 0), 0u) << log[log.size() - 2];
    EXPECT_EQ(log.back(), "Result check = 0");
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, log[log.size() - 2]);
    EXPECT_EQ(boxes_.boxes()[0].caption, "Updater Warning");
    EXPECT_FALSE(LogHas("Check versions of local files..."));
  }
}

TEST_F(UpdateRun, CheckWithNothingNewerShowsNothingAndGivesZero) {
  served_.Put("updateinfo.txt", R"({"Files": [{"name": "A.dat", "version": 1}]})");
  EXPECT_EQ(Check(Files(1, true)), 0);
  EXPECT_TRUE(boxes_.boxes().empty());
  const Strings log = Log();
  EXPECT_EQ(log.front().rfind("Start check update:", 0), 0u);
  EXPECT_EQ(log.back(), "Result check = 0");
}

TEST_F(UpdateRun, CancelGivesMinusOneAndABoxNotShownCountsAsGoAhead) {
  boxes_.Answer(platform::kAnswerCancel);
  EXPECT_EQ(Check(Files(1, true)), -1);
  EXPECT_EQ(Log().back(), "User cancel updates");
  boxes_.Answer(platform::kAnswerNone);
  EXPECT_EQ(Check(Files(1, true)), 1);
  EXPECT_EQ(Log().back(),
            "The question could not be shown (the test's handler showed none): the update goes "
            "ahead as if the user had confirmed it");
}

TEST_F(UpdateRun, ACheckOnAThreadInAnotherApartmentLeavesTheHostsComAlone) {
  const int outcome = std::async(std::launch::async, [this] {
                        if (!platform::JoinMultithreadedApartmentForTesting()) return -1;
                        const platform::ComCallCounts before =
                            platform::ComCallCountsOnThisThread();
                        EXPECT_EQ(Check(Files(1, true)), 1);
                        // Neither initialised nor released.
                        EXPECT_EQ(platform::ComCallCountsOnThisThread().released, before.released);
                        return platform::LeaveMultithreadedApartmentForTesting() ? 1 : 0;
                      }).get();
  if (outcome < 0) GTEST_SKIP() << "no COM here";
  EXPECT_EQ(outcome, 1) << "the check released the host's COM";
}

TEST_F(UpdateRun, AFolderTheNarrowEncodingCannotWriteIsRefusedUnprobed) {
  // An unpaired surrogate has no narrow form in any code page, UTF-8 included.
  const std::u16string waitApp =
      test::Utf16(base_) + u"\xD800" + test::Utf16(platform::kPreferredSeparator) + u"t.exe";
  const platform::ComCallCounts before = platform::ComCallCountsOnThisThread();
  EXPECT_EQ(
      XCheckForUpdates(test::Utf16(url_).c_str(), waitApp.c_str(), test::Utf16(Files()).c_str()),
      0);
  EXPECT_EQ(XLaunchUpdater(test::Utf16(url_).c_str(), waitApp.c_str(),
                           test::Utf16(Files(1, true)).c_str()),
            -1);

  EXPECT_EQ(platform::ComCallCountsOnThisThread().initialized, before.initialized);
  const Strings log = Log();
  ASSERT_EQ(log.size(), 5u);
  const std::string notice = "The updater cannot reach the folder \"" + base_ + "_" +
                             platform::kPreferredSeparator +
                             "\" under the system's code page for non-Unicode programs (" +
                             platform::NarrowEncodingName() +
                             "), which cannot write the folder's name. To update, set the language "
                             "for non-Unicode programs to one whose code page can write this name, "
                             "or use a folder with a plain name.";
  EXPECT_EQ(log[1], notice);
  EXPECT_EQ(log[2], "Result check = 0");
  EXPECT_EQ(log[4], notice);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text, notice);
  EXPECT_EQ(boxes_.boxes()[0].caption, "Updater Warning");
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
}

TEST_F(UpdateRun, ProcessRunUpdatesTheMarkedFilesAndSaysHowMany) {
  served_.Put("A.dat", "new A");
  served_.Put("C.dat", "new C");
  const platform::ComCallCounts before = platform::ComCallCountsOnThisThread();
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0xFFFFFFFFu), 2);

  EXPECT_EQ(Installed("A.dat"), "new A");
  EXPECT_EQ(Installed("B.dat"), "installed B.dat");
  EXPECT_EQ(Installed("C.dat"), "new C");
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "New version of files successfully loaded. 2 files updated. Please restart MetaTrader "
            "to apply changes.");
  EXPECT_EQ(boxes_.boxes()[0].caption, "Updater Information");
  EXPECT_EQ(boxes_.boxes()[0].style, 64u);
  // COM is held through the check, the apply and the box.
  EXPECT_EQ(boxes_.boxes()[0].com.initialized, before.initialized + 1);
  EXPECT_EQ(boxes_.boxes()[0].com.released, before.released);
  EXPECT_EQ(platform::ComCallCountsOnThisThread().released, before.released + 1);
}

TEST_F(UpdateRun, ProcessRunWithNothingNewerDoesNothing) {
  served_.Put("A.dat", "new A");
  served_.Put("updateinfo.txt", R"({"Files": [{"name": "A.dat", "version": 1},
                                        {"name": "C.dat", "version": 1}]})");
  const platform::ComCallCounts before = platform::ComCallCountsOnThisThread();
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0), 0);
  served_.Put("updateinfo.txt", R"({"Files": []})");
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0), 0);

  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(Installed("A.dat"), "installed A.dat");
  for (const std::string& line : Log()) {
    EXPECT_EQ(line.rfind("download save path", 0), std::string::npos) << line;
  }
  EXPECT_EQ(platform::ComCallCountsOnThisThread().initialized, before.initialized + 2);
  EXPECT_EQ(platform::ComCallCountsOnThisThread().released, before.released + 2);
}

TEST_F(UpdateRun, ProcessRunWarnsWhenNothingCouldBePutInPlace) {
  // A is not on the server; C's download goes missing before its swap.
  served_.Put("C.dat", "new C");
  SetSwapHookForTesting(
      [](const std::string& newPath, const std::string&) { fs::remove(newPath); });
  const std::int32_t result = XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0);
  SetSwapHookForTesting(nullptr);

  EXPECT_EQ(result, -3);
  EXPECT_EQ(Installed("A.dat"), "installed A.dat");
  EXPECT_EQ(Installed("C.dat"), "installed C.dat");
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_EQ(boxes_.boxes()[0].text,
            "Failed to update, please try later. See KorvanUpdaterLog for more details");
  EXPECT_EQ(boxes_.boxes()[0].caption, "Updater Warning");
  EXPECT_EQ(boxes_.boxes()[0].style, 48u);
}

TEST_F(UpdateRun, ProcessRunHandsTheApplyThePlatformsSeparators) {
  const std::string forward = ReplaceAll(waitApp_, "\\", "/");
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), forward.c_str(), Files().c_str(), 0), -3);
  const std::string base =
      ReplaceAll(ReplaceAll(base_, "\\", "/"), "/", platform::kPreferredSeparator);
  EXPECT_TRUE(LogHas("download save path: " + base));
}

TEST_F(UpdateRun, ProcessRunTakesItsListAsItComes) {
  // Escaped quotes are the command line's business: here they spoil the list.
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files(1, true).c_str(), 0), 0);
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(LogHas("Check versions of local files..."));
  for (const std::string& line : Log()) {
    EXPECT_EQ(line.rfind("Check local file", 0), std::string::npos) << line;
  }
}

TEST_F(UpdateRun, ProcessRunEndsAStandardExceptionWithMinusTwoAndNoBox) {
  served_.Put("A.dat", "new A");
  const platform::ComCallCounts before = platform::ComCallCountsOnThisThread();
  // No folder in the application path: the apply cannot place anything.
  EXPECT_EQ(XUpdaterProcess(url_.c_str(), "terminal.exe", Files().c_str(), 0), -2);

  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(Log().back(),
            "Error when perform update: no directory in the application path terminal.exe");
  EXPECT_EQ(platform::ComCallCountsOnThisThread().initialized, before.initialized + 1);
  EXPECT_EQ(platform::ComCallCountsOnThisThread().released, before.released + 1);
}

// What an update cut off between its two moves leaves: the file only under
// its ".old" name.
void CutOffBetweenTheMoves(const std::string& target) { fs::rename(target, target + ".old"); }

TEST_F(UpdateRun, EveryRunFirstPutsBackWhatAnInterruptedUpdateLeftAside) {
  // The listed name joins the folder as it is listed.
  const std::string target = Folder() + "/Lib/B.dat";
  const std::string restored = "Previous file restored:\n\t" + target + ".old\n\tto\n\t" + target;
  const std::function<void()> runs[] = {
      [&] { EXPECT_EQ(Check(Files(1, true)), 1); },
      [&] { EXPECT_EQ(XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0), -3); }};
  std::ptrdiff_t restorations = 0;
  for (const auto& run : runs) {
    CutOffBetweenTheMoves(base_ + "/Lib/B.dat");
    run();
    EXPECT_EQ(Installed("B.dat"), "installed B.dat");
    EXPECT_FALSE(test::FileExists(base_ + "/Lib/B.dat.old"));
    const Strings log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), restored), ++restorations);
  }
}

TEST_F(UpdateRun, ASecondUpdateWaitsForTheFirstAndLeavesItTheRepair) {
  served_.Put("A.dat", "new A");
  served_.Put("C.dat", "new C");
  CutOffBetweenTheMoves(base_ + "/Lib/B.dat");
  // Another update holds the installation.
  platform::InstallationLock first(base_);
  ASSERT_EQ(first.TryAcquire(), platform::LockResult::kAcquired);

  // Another thread: a Windows mutex lets its own thread in again.
  auto second = std::async(std::launch::async, [&] {
    return XUpdaterProcess(url_.c_str(), waitApp_.c_str(), Files().c_str(), 0);
  });
  const std::string waiting =
      "Another update of this installation is under way, waiting for it: " + Folder();
  for (int i = 0; i < 500 && !LogHas(waiting); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(LogHas(waiting));
  EXPECT_FALSE(test::FileExists(base_ + "/Lib/B.dat"));
  EXPECT_EQ(second.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  first.Release();

  EXPECT_EQ(second.get(), 2);
  EXPECT_EQ(Installed("A.dat"), "new A");
  EXPECT_EQ(Installed("B.dat"), "installed B.dat");
  EXPECT_EQ(Installed("C.dat"), "new C");
}

// Whether another update could take the installation's lock now; asked from
// another thread, as a Windows mutex lets its own thread in again.
std::string LockState(const std::string& folder) {
  return std::async(std::launch::async,
                    [&] {
                      platform::InstallationLock other(folder);
                      return other.TryAcquire() == platform::LockResult::kAcquired ? "free"
                                                                                   : "held";
                    })
      .get();
}

struct LockRow {
  const char* name;
  bool heldByAnother;  // past the wait bound
  std::function<std::int32_t()> run;
  std::int32_t result;
  Strings boxes;  // each box's caption, and whether the lock was free while it was open
};

TEST_F(UpdateRun, TheLockIsHeldOnlyWhileFilesAreTouchedAndNeverForLong) {
  served_.Put("A.dat", "new A");
  served_.Put("C.dat", "new C");
  SetUpdateWaitBoundForTesting(std::chrono::milliseconds(300));
  boxes_.WhileOpen([this] { return LockState(base_); });
  const std::string signedFiles = R"({\"PublicKey\": \"RWQ\", )" + Files(1, true).substr(1);
  const auto update = [this](const std::string& url) {
    return XUpdaterProcess(url.c_str(), waitApp_.c_str(), Files().c_str(), 0);
  };
  const auto launch = [this] {
    return XLaunchUpdater(test::Utf16(url_).c_str(), test::Utf16(waitApp_).c_str(),
                          test::Utf16(Files(1, true)).c_str());
  };
  const LockRow rows[] = {
      {"a check waits out the bound", true, [&] { return Check(Files(1, true)); }, 0, {}},
      {"an update waits out the bound", true, [&] { return update(url_); }, -5, {}},
      {"a launch waits out the bound", true, launch, -5, {}},
      {"the manifest fails",
       false,
       [&] { return update(url_ + "/missing"); },
       0,
       {"Updater Files: free"}},
      {"the signature is refused",
       false,
       [&] { return Check(signedFiles); },
       0,
       {"Updater Files: free"}},
      {"the check asks",
       false,
       [&] { return Check(Files(1, true)); },
       1,
       {"New version of files available: free"}},
      {"the update ends", false, [&] { return update(url_); }, 2, {"Updater Information: free"}},
  };
  platform::InstallationLock another(base_);
  for (const LockRow& row : rows) {
    SCOPED_TRACE(row.name);
    boxes_.boxes().clear();
    if (row.heldByAnother) {
      ASSERT_EQ(another.TryAcquire(), platform::LockResult::kAcquired);
    }
    EXPECT_EQ(std::async(std::launch::async, row.run).get(), row.result);
    another.Release();
    Strings boxes;
    for (const auto& box : boxes_.boxes()) boxes.push_back(box.caption + ": " + box.seen);
    EXPECT_EQ(boxes, row.boxes);
    if (row.heldByAnother) {
      EXPECT_TRUE(LogHas(
          "Another update of this installation did not end within 300 ms: this run gives up and "
          "changes nothing: " +
          Folder()));
      EXPECT_EQ(Installed("A.dat"), "installed A.dat");
    }
  }
  SetUpdateWaitBoundForTesting(std::chrono::milliseconds(0));
}

TEST_F(UpdateRun, ProcessRunTakesMissingValuesAsEmpty) {
  EXPECT_EQ(XUpdaterProcess(nullptr, nullptr, nullptr, 0), 0);
}

// Programs of one terminal, each on its own thread, update two installations
// through the library as the terminal loads it, while others use the
// primitives: every run answers for its own installation. The first
// installation holds a library older than the server's (the manifest offers
// no download for it, so its updates fail); the second lacks it, and the
// list's version, newer than the server's, stands.
class ManyPrograms : public Launcher {
 protected:
  void SetUp() override {
    Launcher::SetUp();
    // The real companion beside the library, which it loads in turn.
    fs::copy_file(test::CompanionPath(), fs::path(Folder()) / platform::kCompanionFileName);
    served_.Put("updateinfo.txt", Manifest({ManifestEntry("v.dll", 5, 0, 0)}));
    for (const char* name : {"outdated", "current"}) {
      fs::create_directories(scratch_.File(name) + "/Lib");
    }
    fs::copy_file(test::FixtureLibraryPath("version_info1_answers"),
                  scratch_.File("outdated") + "/Lib/v.dll");
  }

  std::string WaitApp(int installation) const {
    return scratch_.File(installation == 0 ? "outdated" : "current") +
           platform::kPreferredSeparator + "terminal.exe";
  }

  test::ScratchDirectory scratch_;
  test::ServedFolder served_;
};

TEST_F(ManyPrograms, EveryRunAnswersForItsOwnInstallation) {
  const std::string files = Manifest({ManifestEntry("/Lib/v.dll", 9, 0, 0)});
  const std::string escaped = ReplaceAll(files, "\"", "\\\"");
  const std::u16string url = test::Utf16(served_.url());
  // By export and installation: no box can be shown here, which counts as
  // the user's yes; the failed download ends in -3.
  const std::int32_t expected[3][2] = {{1, 0}, {-3, 0}, {-3, 0}};
  std::atomic<int> wrong{0};
  std::atomic<int> updatersLeft{8};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 8; ++thread) {
    threads.emplace_back([&, thread] {
      const int installation = thread % 2;
      const int exportNumber = thread / 2 % 3;  // two threads check per installation
      const std::string waitApp = WaitApp(installation);
      for (int round = 0; round < 2; ++round) {
        std::int32_t result = 0;
        if (exportNumber == 0) {
          result = library_.XCheckForUpdates(url.c_str(), test::Utf16(waitApp).c_str(),
                                             test::Utf16(escaped).c_str());
        } else if (exportNumber == 1) {
          result =
              library_.XUpdaterProcess(served_.url().c_str(), waitApp.c_str(), files.c_str(), 0);
        } else {
          result = library_.XLaunchUpdater(url.c_str(), test::Utf16(waitApp).c_str(),
                                           test::Utf16(escaped).c_str());
        }
        if (result != expected[exportNumber][installation]) {
          ADD_FAILURE() << "export " << exportNumber << ", installation " << installation << ": "
                        << result;
          ++wrong;
        }
      }
      --updatersLeft;
    });
  }
  // Two programs count under one section, the flags alongside.
  int counted = 0;
  std::vector<std::thread> users;
  for (int user = 0; user < 2; ++user) {
    users.emplace_back([&, user] {
      while (updatersLeft.load() > 0) {
        library_.extEnterCS(2);
        ++counted;
        library_.extLeaveCS(2);
        library_.extSetFlag(user, library_.extGetFlag(user) + 1);
        std::this_thread::yield();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::thread& user : users) user.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(counted, library_.extGetFlag(0) + library_.extGetFlag(1));
  EXPECT_EQ(test::ReadFile(scratch_.File("outdated") + "/Lib/v.dll"),
            test::ReadFile(test::FixtureLibraryPath("version_info1_answers")));
}

}  // namespace
