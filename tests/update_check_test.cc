// The update check against a real HTTP server on loopback: the manifest
// fetched into a temporary file, local libraries probed, records marked, and
// exactly the log lines and boxes a user and a support engineer see.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <regex>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/temp_files.h"
#include "platform/testing.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace {

namespace fs = std::filesystem;
using test::Manifest;
using test::ManifestEntry;

// The request lines nginx has logged so far.
std::string NginxAccessLog() {
  return test::ReadFile(test::ServedFilePath("../test-servers/nginx-access.log"));
}

TFileInfo Local(const std::string& name, int version, int release, int build) {
  TFileInfo file;
  file.name = name;
  file.version = version;
  file.release = release;
  file.build = build;
  return file;
}

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Every check runs with its own temporary directory, its own log, its own
// folder of local files and its own folder on the server; message boxes are
// recorded and answered with OK.
class UpdateCheck : public ::testing::Test {
 protected:
  UpdateCheck()
      : temporaryDirectory_((fs::path(temp_.path()) / "").string()),
        waitApp_((fs::path(app_.path()) / "terminal.exe").string()) {
    platform::SetTemporaryDirectoryForTesting(temporaryDirectory_);
  }
  ~UpdateCheck() override { platform::SetTemporaryDirectoryForTesting(""); }

  // Puts the test library `fixture` at `name` below the local folder.
  void InstallLibrary(const std::string& fixture, const std::string& name) const {
    const fs::path path = fs::path(app_.path()) / fs::path(name).relative_path();
    fs::create_directories(path.parent_path());
    fs::copy_file(test::FixtureLibraryPath(fixture), path, fs::copy_options::overwrite_existing);
  }

  std::string DirectoryLine() const {
    return "Create directory: " + temporaryDirectory_ + ", already exist";
  }

  test::ScopedTestLog log_;
  test::ScratchDirectory temp_;
  test::ScratchDirectory app_;
  test::ServedFolder server_;
  test::ScopedBoxRecorder boxes_;
  test::ScopedShortDownloadWaits waits_;
  const std::string temporaryDirectory_;
  const std::string waitApp_;
};

TEST_F(UpdateCheck, NormalCallWritesFourLinesAndLeavesNoFileBehind) {
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 1, 2, 4)}));
  TFileInfoList files = {Local("/MQL4/Libraries/a.dll", 1, 2, 3)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);
  EXPECT_EQ(log_.Messages(),
            (std::vector<std::string>{DirectoryLine(), "Check versions of local files...",
                                      "Check local file a.dll v1.2.3...",
                                      "Server file version a.dll v1.2.4"}));
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(FilesIn(temp_.path()).empty());
}

TEST_F(UpdateCheck, SlashIsInsertedEvenAfterOneThatEndsTheAddress) {
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 2, 0, 0)}));
  TFileInfoList files = {Local("/a.dll", 1, 0, 0)};
  // The access log outlives test runs: only what this call adds counts.
  const std::size_t loggedBefore = NginxAccessLog().size();

  // The server takes "//" for "/": the same manifest answers.
  EXPECT_TRUE(CheckUpdates(files, server_.url() + "/", waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);
  const std::string requests = NginxAccessLog().substr(loggedBefore);
  const std::string request = "\"GET /" + server_.name() + "//updateinfo.txt HTTP/1.1\"";
  EXPECT_NE(requests.find(request), std::string::npos) << request << "\n" << requests;
}

TEST_F(UpdateCheck, ProbedVersionIsTheOneCompared) {
  // The host lists 9.9.9; the library itself says 4.5.1, which the server's
  // 4.5.2 beats.
  InstallLibrary("version_both", "/MQL4/Libraries/tools.dll");
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("tools.dll", 4, 5, 2)}));
  TFileInfoList files = {Local("/MQL4/Libraries/tools.dll", 9, 9, 9)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);
  EXPECT_EQ(VersionText(files[0]), "v4.5.1");
  const auto messages = log_.Messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[2], "Check local file tools.dll v4.5.1...");
}

TEST_F(UpdateCheck, BaseNameIsThePartAfterTheLastSlashWithCaseCounting) {
  server_.Put("updateinfo.txt",
              Manifest({ManifestEntry("A.dll", 5, 0, 0), ManifestEntry("a.dll", 2, 0, 0),
                        ManifestEntry("b.dll", 5, 0, 0),
                        ManifestEntry("MQL4\\\\Libraries\\\\c.dll", 5, 0, 0),
                        ManifestEntry("c.dll", 6, 0, 0), ManifestEntry("d.DLL", 5, 0, 0)}));
  TFileInfoList files = {Local("/MQL4/Libraries/a.dll", 1, 0, 0),
                         Local("/MQL4\\Libraries\\b.dll", 1, 0, 0),
                         Local("MQL4\\Libraries\\c.dll", 1, 0, 0), Local("/d.dll", 1, 0, 0)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);   // "a.dll" matched, "A.dll" did not
  EXPECT_FALSE(files[1].needsUpdate);  // its base name is "MQL4\Libraries\b.dll"
  EXPECT_TRUE(files[2].needsUpdate);   // only the whole name matched
  EXPECT_FALSE(files[3].needsUpdate);  // "d.DLL" is another name
  EXPECT_EQ(
      log_.Messages(),
      (std::vector<std::string>{
          DirectoryLine(), "Check versions of local files...", "Check local file a.dll v1.0.0...",
          "Server file version a.dll v2.0.0", "Check local file MQL4\\Libraries\\b.dll v1.0.0...",
          "Check local file MQL4\\Libraries\\c.dll v1.0.0...",
          "Server file version MQL4\\Libraries\\c.dll v5.0.0",
          "Check local file d.dll v1.0.0..."}));
}

TEST_F(UpdateCheck, OnlyAStrictlyGreaterTripleMarks) {
  struct Case {
    int local[3];
    int server[3];
    bool marked;
  };
  const std::vector<Case> cases = {
      {{1, 2, 3}, {1, 2, 4}, true},
      {{1, 3, 0}, {1, 2, 9}, false},
      {{2, 0, 0}, {1, 9, 9}, false},
      {{1, 2, 3}, {1, 2, 3}, false},
      {{1, 2, 3}, {2, 0, 0}, true},
      {{1, 2, 3}, {1, 3, 0}, true},
      {{1, 0, -1}, {1, 0, 0}, true},
      {{-1, 5, 5}, {0, 0, 0}, true},
      {{0, 0, 0}, {-1, 9, 9}, false},
      {{0, 0, 0}, {0, 0, 1}, true},
      {{2147483647, 0, 0}, {-2147483647 - 1, 0, 0}, false},
  };
  std::vector<std::string> entries;
  TFileInfoList files;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "f" + std::to_string(i) + ".dll";
    const Case& c = cases[i];
    entries.push_back(ManifestEntry(name, c.server[0], c.server[1], c.server[2]));
    files.push_back(Local("/" + name, c.local[0], c.local[1], c.local[2]));
  }
  server_.Put("updateinfo.txt", Manifest(entries));

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(files[i].needsUpdate, cases[i].marked)
        << VersionText(files[i]) << " against server entry " << entries[i];
  }
}

TEST_F(UpdateCheck, EveryEntryOfANameIsLoggedAndAnyNewerOneMarks) {
  // Each entry with a digest of its own, ending the entry.
  auto withDigest = [](std::string entry, const std::string& digest) {
    return entry.insert(entry.size() - 1, R"(, "sha256": ")" + digest + "\"");
  };
  server_.Put("updateinfo.txt", Manifest({withDigest(ManifestEntry("a.dll", 1, 0, 0), "a1"),
                                          withDigest(ManifestEntry("b.dll", 3, 0, 0), "b3"),
                                          withDigest(ManifestEntry("a.dll", 3, 0, 0), "a3"),
                                          withDigest(ManifestEntry("b.dll", 1, 0, 0), "b1")}));
  TFileInfoList files = {Local("/a.dll", 2, 0, 0), Local("/b.dll", 2, 0, 0)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);  // by the second entry
  EXPECT_TRUE(files[1].needsUpdate);  // by the first, kept through the second
  // The digest the apply checks comes from the newest entry that marks.
  EXPECT_EQ(files[0].sha256, "a3");
  EXPECT_EQ(files[1].sha256, "b3");
  EXPECT_EQ(log_.Messages(),
            (std::vector<std::string>{
                DirectoryLine(), "Check versions of local files...",
                "Check local file a.dll v2.0.0...", "Server file version a.dll v1.0.0",
                "Server file version a.dll v3.0.0", "Check local file b.dll v2.0.0...",
                "Server file version b.dll v3.0.0", "Server file version b.dll v1.0.0"}));
}

TEST_F(UpdateCheck, FilesThatCannotTellKeepTheListedVersion) {
  // Missing, not a library, or a library without version functions: the
  // host's triple stands, 0.0.0 where the host gave none.
  InstallLibrary("version_none", "/none.dll");
  test::WriteFile(app_.File("script.ex4"), "not a library");
  server_.Put(
      "updateinfo.txt",
      Manifest({ManifestEntry("missing.dll", 0, 0, 1), ManifestEntry("none.dll", 1, 0, 0),
                ManifestEntry("script.ex4", 0, 0, 0), ManifestEntry("unlisted.dll", 1, 0, 0)}));
  TFileInfoList files = {Local("/missing.dll", 0, 0, 0), Local("/none.dll", 1, 0, 0),
                         Local("/script.ex4", 0, 0, 0), Local("/other.dll", 0, 0, 0)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files[0].needsUpdate);
  EXPECT_FALSE(files[1].needsUpdate);
  EXPECT_FALSE(files[2].needsUpdate);
  EXPECT_FALSE(files[3].needsUpdate);  // not on the server: no line, no mark
  const auto messages = log_.Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Check local file other.dll v0.0.0..."),
            1);
  for (const std::string& line : messages) EXPECT_EQ(line.find("unlisted"), std::string::npos);
}

TEST_F(UpdateCheck, EveryRecordIsSetByASuccessfulCall) {
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 1, 0, 0)}));
  TFileInfoList files = {Local("/a.dll", 1, 0, 0), Local("/b.dll", 1, 0, 0)};
  files[0].needsUpdate = true;
  files[1].needsUpdate = true;

  EXPECT_FALSE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_FALSE(files[0].needsUpdate);
  EXPECT_FALSE(files[1].needsUpdate);
}

TEST_F(UpdateCheck, EmptyLocalListStillFetchesTheManifest) {
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 1, 0, 0)}));
  TFileInfoList files;

  EXPECT_FALSE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(files.empty());
  EXPECT_EQ(log_.Messages(),
            (std::vector<std::string>{DirectoryLine(), "Check versions of local files..."}));
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_TRUE(FilesIn(temp_.path()).empty());
}

TEST_F(UpdateCheck, ManifestThatIsNoFileListMarksNothing) {
  for (const std::string& text : {std::string("<html>not here</html>"), std::string(),
                                  std::string(R"({"Files": "a.dll"})")}) {
    server_.Put("updateinfo.txt", text);
    TFileInfoList files = {Local("/a.dll", 1, 0, 0)};
    files[0].needsUpdate = true;
    boxes_.boxes().clear();

    EXPECT_FALSE(CheckUpdates(files, server_.url(), waitApp_)) << text;

    EXPECT_FALSE(files[0].needsUpdate) << text;
    EXPECT_TRUE(boxes_.boxes().empty()) << text;
    EXPECT_TRUE(FilesIn(temp_.path()).empty()) << text;
  }
  const auto messages = log_.Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Check local file a.dll v1.0.0..."), 3);
  for (const std::string& line : messages) {
    EXPECT_EQ(line.find("Server file version"), std::string::npos) << line;
  }
}

// The failure box's text, taken apart: the code, its text, the last error,
// its text and the server's answer.
struct FailureText {
  bool matched = false;
  long long code = 0;
  std::string codeText;
  long long lastError = 0;
  std::string lastErrorText;
  std::string response;
};

FailureText ParseFailure(const std::string& text) {
  static const std::regex pattern(
      R"(^Error downloading updateinfo\. Try to update latter\. Error code: (-?[0-9]+) \(([\s\S]*)\) Last err: (-?[0-9]+) \(([\s\S]*)\) Err message = ([\s\S]*)$)");
  std::smatch match;
  FailureText parsed;
  if (!std::regex_match(text, match, pattern)) return parsed;
  parsed.matched = true;
  parsed.code = std::stoll(match[1]);
  parsed.codeText = match[2];
  parsed.lastError = std::stoll(match[3]);
  parsed.lastErrorText = match[4];
  parsed.response = match[5];
  return parsed;
}

void ExpectFailureBox(const test::ScopedBoxRecorder::Box& box) {
  EXPECT_EQ(box.caption, "Updater Files");
  EXPECT_EQ(box.style, 0x30u);
  const FailureText failure = ParseFailure(box.text);
  ASSERT_TRUE(failure.matched) << box.text;
  EXPECT_NE(failure.code, 0);
  EXPECT_EQ(failure.codeText, GetErrorText(static_cast<std::int32_t>(failure.code)));
  EXPECT_EQ(failure.lastErrorText, GetErrorText(static_cast<std::int32_t>(failure.lastError)));
}

TEST_F(UpdateCheck, FailedDownloadShowsOneBoxAndTouchesNothing) {
  // A manifest missing on the server, and a server that is not there.
  const std::vector<std::string> addresses = {server_.url(), "http://127.0.0.1:1/updates"};
  for (const std::string& address : addresses) {
    boxes_.boxes().clear();
    InstallLibrary("version_both", "/a.dll");
    TFileInfoList files = {Local("/a.dll", 1, 0, 0), Local("/b.dll", 1, 0, 0)};
    files[0].needsUpdate = true;

    EXPECT_FALSE(CheckUpdates(files, address, waitApp_)) << address;

    ASSERT_EQ(boxes_.boxes().size(), 1u) << address;
    ExpectFailureBox(boxes_.boxes()[0]);
    // No probe ran and no record changed.
    EXPECT_EQ(VersionText(files[0]), "v1.0.0");
    EXPECT_TRUE(files[0].needsUpdate);
    EXPECT_FALSE(files[1].needsUpdate);
    EXPECT_TRUE(FilesIn(temp_.path()).empty()) << address;
  }
  // A missing manifest is asked for once; a server not there, three times.
  const std::string retry = "Download of http://127.0.0.1:1/updates/updateinfo.txt failed with ";
  const std::vector<std::string> log = log_.Messages();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], DirectoryLine());
  EXPECT_EQ(log[1], DirectoryLine());
  EXPECT_EQ(log[2].rfind(retry, 0), 0u) << log[2];
  EXPECT_EQ(log[3].rfind(retry, 0), 0u) << log[3];
}

// The box of a failed manifest download, as seen by a check whose memory ran
// out while it was open.
bool g_temporaryFolderEmptyAtTheBox = false;
std::string g_temporaryFolder;
int RunOutOfMemoryInTheBox(const std::string&, const std::string&, unsigned) {
  g_temporaryFolderEmptyAtTheBox = FilesIn(g_temporaryFolder).empty();
  throw std::bad_alloc();
}

TEST_F(UpdateCheck, TheManifestFileIsGoneBeforeTheFailureBoxAndWhateverEndsTheCheck) {
  g_temporaryFolder = temp_.path();
  platform::SetMessageBoxHandlerForTesting(&RunOutOfMemoryInTheBox);
  TFileInfoList files = {Local("/a.dll", 1, 0, 0)};
  EXPECT_THROW(CheckUpdates(files, server_.url(), waitApp_), std::bad_alloc);

  // Another check may be given the same temporary name while the box is open.
  EXPECT_TRUE(g_temporaryFolderEmptyAtTheBox);
  EXPECT_TRUE(FilesIn(temp_.path()).empty());
}

TEST_F(UpdateCheck, MissingTemporaryDirectoryIsCreatedSilently) {
  const std::string directory = (fs::path(temp_.path()) / "fresh" / "").string();
  platform::SetTemporaryDirectoryForTesting(directory);
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 2, 0, 0)}));
  TFileInfoList files = {Local("/a.dll", 1, 0, 0)};

  EXPECT_TRUE(CheckUpdates(files, server_.url(), waitApp_));

  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_EQ(log_.Messages(), (std::vector<std::string>{"Check versions of local files...",
                                                       "Check local file a.dll v1.0.0...",
                                                       "Server file version a.dll v2.0.0"}));
  // It stays, empty.
  ASSERT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(FilesIn(directory).empty());
}

TEST_F(UpdateCheck, TemporaryDirectoryWithoutItsParentIsShownThenTheDownloadFails) {
  const std::string directory = (fs::path(temp_.path()) / "missing" / "temp" / "").string();
  platform::SetTemporaryDirectoryForTesting(directory);
  server_.Put("updateinfo.txt", Manifest({ManifestEntry("a.dll", 2, 0, 0)}));
  TFileInfoList files = {Local("/a.dll", 1, 0, 0)};

  EXPECT_FALSE(CheckUpdates(files, server_.url(), waitApp_));

  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_EQ(boxes_.boxes()[0].text, "Path " + directory + " not exists");
  EXPECT_EQ(boxes_.boxes()[0].caption, "Updater Files");
  EXPECT_EQ(boxes_.boxes()[0].style, 0x30u);
  ExpectFailureBox(boxes_.boxes()[1]);
  EXPECT_FALSE(files[0].needsUpdate);
  EXPECT_TRUE(log_.Messages().empty());
  EXPECT_TRUE(FilesIn(temp_.path()).empty());
}

}  // namespace
