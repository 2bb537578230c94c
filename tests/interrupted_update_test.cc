// Updates cut off at every step and at random moments, and two updates of one
// installation at once: the installation is never left broken. The real
// companion runs the test build of the library, whose fault points end its
// process where the test says.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "host/host.h"
#include "host/update_runs.h"
#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/file_digest.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "platform/temp_files.h"
#include "platform/testing.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

const std::string kLibraries = "/MQL4/Libraries/";

int AnswerOk(const std::string&, const std::string&, unsigned) { return platform::kAnswerOk; }

struct ListedFile {
  std::string name;  // below the terminal's folder
  std::string previous, offered;
  std::string listedVersion, serverVersion;  // "1, 0, 0"
};

std::string Artifact(const std::string& name) {
  return test::ReadFile((fs::path(test::ArtifactDirectory()) / name).string());
}

// A terminal's folder holding the updater, its companion and more listed
// files, and a release on nginx that offers a newer version of each.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DetachStandardInput();
    platform::SetMessageBoxHandlerForTesting(&AnswerOk);
    fs::create_directories(scratch_.File("temp"));
    platform::SetTemporaryDirectoryForTesting(scratch_.File("temp") +
                                              platform::kPreferredSeparator);
    served_ = test::UniqueName("release");
    fs::create_directories(test::ServedFilePath(served_));
    url_ = test::NginxBase() + "/" + served_;
    terminal_ = scratch_.File("terminal");
    for (const char* folder : {"MQL4/Libraries", "MQL4/Experts"}) {
      fs::create_directories(fs::path(terminal_) / folder);
    }
    waitApp_ = terminal_ + platform::kPreferredSeparator + "terminal.exe";
  }
  void TearDown() override {
    platform::SetMessageBoxHandlerForTesting(nullptr);
    platform::SetTemporaryDirectoryForTesting("");
    std::error_code ignored;
    fs::remove_all(test::ServedFilePath(served_), ignored);
  }

  std::string Path(const std::string& name) const { return terminal_ + name; }

  // Installs the previous version of every file, with a stale ".old" copy
  // beside it as an earlier update may leave, and publishes the offered ones.
  // The updater remembers no earlier update.
  void Install(const std::vector<ListedFile>& files) {
    files_ = files;
    fs::remove(terminal_ + "/" + kInstalledFilesName);
    std::string manifest;
    for (const ListedFile& file : files_) {
      test::WriteFile(Path(file.name), file.previous);
      fs::permissions(Path(file.name), fs::perms::owner_exec, fs::perm_options::add);
      test::WriteFile(Path(file.name) + ".old", "stale");
      const std::string part = ExtractFileName(file.name);
      test::WriteFile(test::ServedFilePath(served_ + "/" + part), file.offered);
      manifest += (manifest.empty() ? "" : ",") + Entry(part, file.serverVersion);
    }
    test::WriteFile(test::ServedFilePath(served_ + "/updateinfo.txt"),
                    "{\"Files\": [" + manifest + "]}");
  }
  // The updater and its companion, not listed.
  void InstallUpdater(const std::string& library) {
    test::WriteFile(Path(kLibraries + platform::kLibraryFileName), library);
    fs::copy_file(test::CompanionPath(), Path(kLibraries + platform::kCompanionFileName),
                  fs::copy_options::overwrite_existing);
  }

  static std::string Entry(const std::string& name, const std::string& triple) {
    const std::size_t first = triple.find(','), second = triple.rfind(',');
    return "{\"name\": \"" + name + "\", \"version\": " + triple.substr(0, first) +
           ", \"release\": " + triple.substr(first + 2, second - first - 2) +
           ", \"build\": " + triple.substr(second + 2) + "}";
  }
  std::string Files() const {
    std::string list;
    for (const ListedFile& file : files_) {
      list += (list.empty() ? "" : ",") + Entry(file.name, file.listedVersion);
    }
    return "{\"Files\": [" + list + "]}";
  }

  // Starts the companion as XLaunchUpdater does.
  platform::ProgramHandle StartCompanion() {
    std::string parameters;
    EXPECT_TRUE(
        FormatUpdaterParameters(url_, waitApp_, ReplaceAll(Files(), "\"", "\\\""), 0, &parameters));
    platform::ProgramHandle companion = 0;
    EXPECT_TRUE(platform::StartProgram(Path(kLibraries + platform::kCompanionFileName), parameters,
                                       &companion));
    return companion;
  }
  static std::int32_t Wait(platform::ProgramHandle companion) {
    std::int32_t code = 12345;
    EXPECT_TRUE(platform::WaitForProgram(companion, &code));
    return code;
  }
  std::int32_t RunCompanion() { return Wait(StartCompanion()); }

  // The terminal's next check, in this process, with its own log.
  void CheckAgain() {
    test::ScopedTestLog log;
    EXPECT_EQ(XCheckForUpdates(test::Utf16(url_).c_str(), test::Utf16(waitApp_).c_str(),
                               test::Utf16(ReplaceAll(Files(), "\"", "\\\"")).c_str()),
              1);
  }

  // Every listed file is there under its own name, whole: the previous
  // bytes or the offered ones, never part of either.
  void ExpectEveryFileWhole(const std::string& when) const {
    for (const ListedFile& file : files_) {
      const std::string content = test::ReadFile(Path(file.name));
      EXPECT_TRUE(content == file.previous || content == file.offered)
          << file.name << " " << when << ": " << content.size() << " bytes";
    }
  }
  // Every file is the offered one, and nothing is left beside it but the
  // ".old" copies of files in use, which Windows keeps from being removed.
  void ExpectEveryFileUpdated(const std::string& when) const {
    for (const ListedFile& file : files_) {
      EXPECT_TRUE(test::ReadFile(Path(file.name)) == file.offered) << file.name << " " << when;
      EXPECT_FALSE(test::FileExists(Path(file.name) + ".new")) << file.name << " " << when;
      const bool inUse = file.name == kLibraries + platform::kLibraryFileName ||
                         file.name == kLibraries + platform::kCompanionFileName;
      if (!(inUse && KORVAN_TEST_FILES_IN_USE_STAY)) {
        EXPECT_FALSE(test::FileExists(Path(file.name) + ".old")) << file.name << " " << when;
      }
    }
  }

  Strings Log() const { return test::LogMessagesIn(terminal_ + "/KorvanUpdaterLog.log"); }

  test::ScratchDirectory scratch_;
  std::string served_, url_, terminal_, waitApp_;
  std::vector<ListedFile> files_;
};

// The updater with live fault points, its companion and two data files, all
// offered newer. The listed versions never change: only the updater's record
// of what it installed keeps a file from being installed again.
class InterruptedUpdate : public Installation {
 protected:
  void SetUp() override {
    Installation::SetUp();
    const std::string library = Artifact(std::string("faults/") + platform::kLibraryFileName);
    ASSERT_FALSE(library.empty());
    const std::string companion = test::ReadFile(test::CompanionPath());
    // Programs with data after their image still load and run.
    Install({{kLibraries + platform::kLibraryFileName, library, library + "release 2", "1, 0, 0",
              "2, 0, 0"},
             {kLibraries + platform::kCompanionFileName, companion, companion + "release 2",
              "1, 0, 0", "2, 0, 0"},
             {"/MQL4/Experts/Expert.ex4", std::string(1 << 20, 'p'),
              std::string((1 << 20) + 1, 'o'), "1, 0, 0", "2, 0, 0"},
             {kLibraries + "Data.bin", std::string(2 << 20, 'p'), std::string(3 << 20, 'o'),
              "1, 0, 0", "2, 0, 0"}});
  }
  void StopAt(const std::string& point) {
    const std::string file = Path(kLibraries + "korvan_fault_point.txt");
    if (point.empty()) {
      fs::remove(file);
    } else {
      test::WriteFile(file, point);
    }
  }
  // The listed files that the updater's record names with the bytes they
  // hold: after any cut the record reads whole, and names only files that
  // were put in place.
  int RecordedFiles(const std::string& when) const {
    const std::string path = terminal_ + "/" + kInstalledFilesName;
    if (!test::FileExists(path)) return 0;
    Json::Value record;
    EXPECT_TRUE(Json::Reader().parse(test::ReadFile(path), record)) << when;
    int recorded = 0;
    for (const ListedFile& file : files_) {
      std::string key = Path(file.name);
      std::replace(key.begin(), key.end(), '\\', '/');
      platform::FileDigests digests;
      // A file cut off while moved aside is missing until the next run.
      if (platform::DigestFile(Path(file.name), &digests) != 0) continue;
      for (const Json::Value& entry : record["Files"]) {
        if (entry["name"].asString() != key || entry["sha256"].asString() != digests.sha256)
          continue;
        EXPECT_TRUE(test::ReadFile(Path(file.name)) == file.offered) << file.name << " " << when;
        EXPECT_EQ(entry["version"].asInt(), 2) << file.name << " " << when;
        ++recorded;
      }
    }
    return recorded;
  }
  // After a cut-off update: the next check finds every file whole and the
  // next update installs every file the record does not name.
  void ExpectRecovery(const std::string& when) {
    const int recorded = RecordedFiles(when);
    CheckAgain();
    ExpectEveryFileWhole(when);
    StopAt("");
    EXPECT_EQ(RunCompanion(), 4 - recorded) << when;
    ExpectEveryFileUpdated(when);
    EXPECT_EQ(RecordedFiles(when), 4) << when;
  }
};

// A fault point, and at which of the four files it ends the update.
using Cut = std::tuple<const char*, int>;
class UpdateCutOffAtAStep : public InterruptedUpdate, public ::testing::WithParamInterface<Cut> {};

TEST_P(UpdateCutOffAtAStep, LeavesEveryFileWholeAndTheNextUpdateCompletes) {
  const std::string point =
      std::string(std::get<0>(GetParam())) + "#" + std::to_string(std::get<1>(GetParam()));
  StopAt(point);
  EXPECT_EQ(RunCompanion(), KORVAN_TEST_KILLED_RESULT) << point;
  // A file is remembered once it is in place, before its last step.
  const int file = std::get<1>(GetParam());
  EXPECT_EQ(RecordedFiles(point), file - 1 + (std::string(std::get<0>(GetParam())) == "done"));
  ExpectRecovery(point);
}

// Files 1 and 2 are the updater library and its companion, file 4 a data
// file after them.
INSTANTIATE_TEST_SUITE_P(EveryStep, UpdateCutOffAtAStep,
                         ::testing::Combine(::testing::Values("downloaded", "flushed",
                                                              "leftover-removed", "moved-aside",
                                                              "moved-in", "done"),
                                            ::testing::Values(1, 2, 4)),
                         [](const ::testing::TestParamInfo<Cut>& cut) {
                           std::string name = std::get<0>(cut.param);
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name + "_file" + std::to_string(std::get<1>(cut.param));
                         });

TEST_F(InterruptedUpdate, KilledAtRandomMomentsLeavesEveryFileWhole) {
  // How long one whole update takes here, for the moments to fall within.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunCompanion(), 4);
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  Install(files_);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> moment(0, whole.count());
  for (int kill = 0; kill < 8; ++kill) {
    const std::string when = "kill " + std::to_string(kill) + " of seed " + std::to_string(seed);
    const platform::ProgramHandle companion = StartCompanion();
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    platform::KillProgram(companion);
    Wait(companion);
    CheckAgain();
    ExpectEveryFileWhole(when);
  }
  ExpectRecovery("after the kills, seed " + std::to_string(seed));
}

// Three libraries that report their own versions: the offered ones 4.5.1,
// the installed ones 0.0.0, so that a check after an update finds nothing.
class TwoUpdates : public Installation {
 protected:
  void SetUp() override {
    Installation::SetUp();
    InstallUpdater(test::ReadFile(test::LibraryPath()));
    const std::string extension = platform::kNativeLibraryExtension;
    const std::string previous = Artifact("version_zero" + extension);
    const std::string offered = Artifact("version_both" + extension);
    std::vector<ListedFile> files;
    for (const char* name : {"A", "B", "C"}) {
      files.push_back({kLibraries + name + extension, previous, offered, "0, 0, 0", "4, 5, 1"});
    }
    Install(files);
  }
};

TEST_F(TwoUpdates, OfOneInstallationAtOnceInstallEachFileOnce) {
  const platform::ProgramHandle first = StartCompanion();
  const platform::ProgramHandle second = StartCompanion();
  std::vector<std::int32_t> results = {Wait(first), Wait(second)};
  std::sort(results.begin(), results.end());

  // One installs all three; the other, after it, finds nothing left to do.
  EXPECT_EQ(results, (std::vector<std::int32_t>{0, 3}));
  ExpectEveryFileUpdated("after both");
  const Strings log = Log();
  for (const ListedFile& file : files_) {
    const std::string start =
        "Start download file:\n\tfrom: " + url_ + "/" + ExtractFileName(file.name) + "\n\tto: ";
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [&](const std::string& line) { return line.rfind(start, 0) == 0; }),
              1)
        << file.name;
  }
}

}  // namespace
