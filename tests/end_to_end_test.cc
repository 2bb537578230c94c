// Whole updates as a user meets them: a stand-in terminal loads the library,
// XCheckForUpdates asks, XLaunchUpdater runs the real companion, which
// downloads newer files from nginx on loopback and swaps them in, the updater
// library and the companion among them; in folders whose names the ANSI code
// page can write, and refused in folders whose names it cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/process.h"
#include "platform/program_search.h"
#include "platform/text_conversion.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

const std::string kLibraries = "/MQL4/Libraries/";

using Version = std::array<int, 3>;

struct LocalFile {
  std::string name;       // below the terminal's folder
  Version listedVersion;  // as the terminal's program lists it
  Version serverVersion;  // in the manifest
  bool newer;             // the server's copy is to be installed
};

std::string Entry(const std::string& name, const Version& version) {
  return test::ManifestEntry(name, version[0], version[1], version[2]);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DetachStandardInput();
    url_ = served_.url();
    // The terminal is a Unicode program: its folder reaches the library in
    // UTF-16; the library's log lines hold it in the narrow encoding.
    const std::u16string folder =
        test::Utf16(scratch_.path() + platform::kPreferredSeparator) + FolderName();
    terminal_ = fs::path(folder);
    terminalText_ = WideToAnsi(folder.c_str());
    for (const char* part : {"MQL4/Libraries", "MQL4/Experts", "MQL4/Presets"}) {
      fs::create_directories(terminal_ / part);
    }
    wideWaitApp_ = folder + test::Utf16(platform::kPreferredSeparator) + u"terminal.exe";
    waitApp_ = WideToAnsi(wideWaitApp_.c_str());

    const std::string library = test::ReadFile(test::LibraryPath());
    const std::string companion = test::ReadFile(test::CompanionPath());
    const std::string versioned = Fixture("version_both");
    files_ = {
        {kLibraries + platform::kLibraryFileName, {1, 1, 2}, {1, 1, 3}, true},
        {kLibraries + platform::kCompanionFileName, {1, 0, 0}, {1, 0, 1}, true},
        // Reports 4.5.1 itself; the list's 0.0.0 is not what counts.
        {kLibraries + "Versioned.dll", {0, 0, 0}, {4, 6, 0}, true},
        {"/MQL4/Experts/Expert.ex4", {1, 0, 0}, {1, 1, 0}, true},
        {"/MQL4/Presets/Settings.set", {1, 0, 0}, {1, 0, 0}, false},
    };
    previous_ = {library, companion, versioned, "expert 1.0.0", "settings 1.0.0"};
    // Programs with data after their image still load.
    offered_ = {library + "release 1.1.3", companion + "release 1.0.1", Fixture("version_zero"),
                "expert 1.1.0", "settings changed but not newer"};
    std::string manifest;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      test::WriteFile(Local(files_[i].name), previous_[i]);
      fs::permissions(Local(files_[i].name), fs::perms::owner_exec, fs::perm_options::add);
      const std::string part = ExtractFileName(files_[i].name);
      served_.Put(part, offered_[i]);
      manifest += std::string(manifest.empty() ? "" : ",\n") + "    " +
                  Entry(part, files_[i].serverVersion);
    }
    served_.Put("updateinfo.txt",
                "{\n  // the vendor's release\n  \"Files\": [\n" + manifest + "\n  ]\n}\n");
  }

  virtual std::u16string FolderName() const { return u"terminal"; }
  // A file below the terminal's folder.
  fs::path Local(const std::string& name) const {
    fs::path path = terminal_;
    path += name;
    return path;
  }

  static std::string Fixture(const std::string& name) {
    return test::ReadFile(test::FixtureLibraryPath(name));
  }

  // The local list; the terminal's program hands it over with its quotes
  // escaped.
  std::string Files() const {
    std::vector<std::string> entries;
    for (const LocalFile& file : files_) entries.push_back(Entry(file.name, file.listedVersion));
    const std::string key = publicKey_.empty() ? "" : "\"PublicKey\": \"" + publicKey_ + "\", ";
    return "{" + key + test::Manifest(entries).substr(1);
  }
  std::string EscapedFiles() const { return ReplaceAll(Files(), "\"", "\\\""); }

  // Runs the stand-in terminal, through the box answerer where boxes are
  // asked on a terminal; returns what it reported.
  std::string RunTerminal(bool cancel = false, bool launchAlways = false) {
    const std::string request = scratch_.File("request.txt");
    const std::string result = scratch_.File("result.txt");
    test::WriteFile(request, Local("/MQL4/Libraries").u8string() + "\n" + url_ + "\n" +
                                 fs::path(wideWaitApp_).u8string() + "\n" + Files() + "\n" +
                                 result + "\n" + (launchAlways ? "always\n" : ""));
    const std::string program =
        test::ArtifactPath("KorvanDemoTerminal" KORVAN_TEST_EXECUTABLE_SUFFIX);
    const std::string answerer = KORVAN_TEST_BOX_ANSWERER;
    std::int32_t code = -1;
    if (answerer.empty()) {
      EXPECT_TRUE(platform::StartProgramAndWait(program, " \"@" + request + "\"", &code));
    } else {
      const std::size_t bar = answerer.find('|');
      const std::string parameters = " \"" + answerer.substr(bar + 1) + "\" --transcript \"" +
                                     scratch_.File("transcript.txt") + "\"" +
                                     (cancel ? " --cancel" : "") + " -- \"" + program + "\" \"@" +
                                     request + "\"";
      EXPECT_TRUE(platform::StartProgramAndWait(answerer.substr(0, bar), parameters, &code));
    }
    EXPECT_EQ(code, 0);
    return test::ReadFile(result);
  }
  std::string Transcript() const { return test::ReadFile(scratch_.File("transcript.txt")); }
  bool BoxesAreAnswered() const { return std::string(KORVAN_TEST_BOX_ANSWERER) != ""; }

  Strings Log() const { return test::LogMessagesIn(terminal_ / "KorvanUpdaterLog.log"); }
  // True when `expected` appear in the log in this order, other lines between.
  ::testing::AssertionResult LogHoldsInOrder(const Strings& expected) const {
    const Strings log = Log();
    std::size_t next = 0;
    for (const std::string& line : log) {
      if (next < expected.size() && line == expected[next]) ++next;
    }
    if (next == expected.size()) return ::testing::AssertionSuccess();
    std::string all;
    for (const std::string& line : log) all += "  " + line + "\n";
    return ::testing::AssertionFailure() << "missing, in order: " << expected[next] << "\nlog:\n"
                                         << all;
  }

  test::ScratchDirectory scratch_;
  test::ServedFolder served_;
  fs::path terminal_;
  std::u16string wideWaitApp_;
  std::string url_, terminalText_, waitApp_, publicKey_;
  std::vector<LocalFile> files_;
  Strings previous_, offered_;
};

// Folder names, and the ANSI code page that can write each ("" for every
// one). A UTF-8 narrow encoding writes them all.
struct Folder {
  const char* label;
  const char16_t* name;
  const char* codePage;
};
const Folder kFolders[] = {
    {"Plain", u"terminal", ""},
    {"CyrillicWithBlank",
     u"\u0422\u0435\u0440\u043c\u0438\u043d\u0430\u043b \u0434\u0430\u043d\u043d\u044b\u0435",
     "1251"},
    // Letters code page 1251 lacks or can only approximate.
    {"Accented", u"Caf\u00e9 \u00e0 la carte", "1252"},
    {"Chinese", u"\u7ec8\u7aef \u6570\u636e", "none"},
};

void PrintTo(const Folder& folder, std::ostream* out) { *out << folder.label; }

class EndToEndInFolder : public EndToEnd, public ::testing::WithParamInterface<Folder> {
 protected:
  std::u16string FolderName() const override { return GetParam().name; }
  // The code-page runs check that their locale took effect.
  static bool Reachable() {
    const std::string codePage = GetParam().codePage;
    const std::string encoding = platform::NarrowEncodingName();
    return codePage.empty() || encoding == "UTF-8" || encoding == "code page " + codePage;
  }
};

INSTANTIATE_TEST_SUITE_P(Folders, EndToEndInFolder, ::testing::ValuesIn(kFolders),
                         [](const ::testing::TestParamInfo<Folder>& folder) {
                           return std::string(folder.param.label);
                         });

TEST_P(EndToEndInFolder, InstallsTheNewerFilesOrRefusesAFolderTheCodePageCannotWrite) {
  if (!Reachable()) {
    // Nothing probed, nothing offered, nothing started; the log in its place.
    EXPECT_EQ(RunTerminal(/*cancel=*/false, /*launchAlways=*/true),
              "XCheckForUpdates: 0\nXLaunchUpdater: -1\n");
    const Strings log = Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].rfind("Start check update:\n\turl = " + url_ + "\n\twaitApp = " + waitApp_, 0),
              0u);
    EXPECT_EQ(log[1].rfind("The updater cannot reach the folder \"", 0), 0u) << log[1];
    EXPECT_NE(log[1].find("code page for non-Unicode programs"), std::string::npos) << log[1];
    EXPECT_EQ(log[1].find('\n'), std::string::npos) << log[1];
    EXPECT_EQ(log[2], "Result check = 0");
    EXPECT_EQ(log[3].rfind("Prepare to start apply updates. Params:", 0), 0u);
    EXPECT_EQ(log[4], log[1]);
    for (std::size_t i = 0; i < files_.size(); ++i) {
      EXPECT_TRUE(test::ReadFile(Local(files_[i].name)) == previous_[i]) << files_[i].name;
    }
    return;
  }
  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 1\nXLaunchUpdater: 4\n");

  const std::string base =
      ReplaceAll(ReplaceAll(terminalText_, "\\", "/"), "/", platform::kPreferredSeparator);
  Strings expected = {"Start check update:\n\turl = " + url_ + "\n\twaitApp = " + waitApp_ +
                          "\n\tfiles = [\n\t\t" + EscapedFiles() + "\n\t]",
                      "Check versions of local files...",
                      "Check local file Versioned.dll v4.5.1...",
                      "Result check = 1",
                      "Prepare to start apply updates. Params:\n\t" + url_ + "\n\t" + waitApp_ +
                          "\n\t[\n\t\t" + EscapedFiles() + "\n\t]",
                      "Check versions of local files...",
                      "Check local file Versioned.dll v4.5.1...",
                      "download save path: " + base};
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].newer) {
      EXPECT_TRUE(test::ReadFile(Local(files_[i].name)) == offered_[i]) << files_[i].name;
      for (const std::string& line : test::SwapLogLines(url_, base, files_[i].name)) {
        expected.push_back(line);
      }
    } else {
      EXPECT_TRUE(test::ReadFile(Local(files_[i].name)) == previous_[i]) << files_[i].name;
    }
    EXPECT_FALSE(test::FileExists(Local(files_[i].name + ".new"))) << files_[i].name;
    // The library and the companion are in use while they are replaced.
    const bool inUse = i < 2;
    if (inUse && KORVAN_TEST_FILES_IN_USE_STAY) {
      EXPECT_TRUE(test::ReadFile(Local(files_[i].name + ".old")) == previous_[i]);
    } else {
      EXPECT_FALSE(test::FileExists(Local(files_[i].name + ".old"))) << files_[i].name;
    }
  }
  EXPECT_TRUE(LogHoldsInOrder(expected));

  if (BoxesAreAnswered()) {
    const std::string transcript = Transcript();
    EXPECT_NE(transcript.find("== New version of files available ==\nFiles: \n" + kLibraries +
                              platform::kLibraryFileName + "\n" + kLibraries +
                              platform::kCompanionFileName + "\n" + kLibraries +
                              "Versioned.dll\n/MQL4/Experts/Expert.ex4\n\nDo you want to "
                              "download?\n[OK/cancel] "),
              std::string::npos)
        << transcript;
    EXPECT_NE(
        transcript.find("== Updater Information ==\nNew version of files successfully loaded. "
                        "4 files updated. Please restart MetaTrader to apply changes.\n"
                        "[press Enter] "),
        std::string::npos)
        << transcript;
  }
}

TEST_F(EndToEnd, ASecondRunInstallsOnlyWhatIsNewerAgain) {
  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 1\nXLaunchUpdater: 4\n");
  // The installed versions are now the listed ones.
  files_[0].listedVersion = {1, 1, 3};
  files_[1].listedVersion = {1, 0, 1};
  files_[3].listedVersion = {1, 1, 0};
  // Versioned.dll now reports 0.0.0 itself and is offered again; nothing else.
  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 1\nXLaunchUpdater: 1\n");
  EXPECT_TRUE(test::ReadFile(Local(kLibraries + "Versioned.dll")) == offered_[2]);
  for (const LocalFile& file : files_) {
    EXPECT_FALSE(test::FileExists(Local(file.name + ".new"))) << file.name;
  }
}

TEST_F(EndToEnd, CancelChangesNothing) {
  if (!BoxesAreAnswered()) GTEST_SKIP() << "no one to answer the boxes here";
  EXPECT_EQ(RunTerminal(/*cancel=*/true), "XCheckForUpdates: -1\n");
  for (std::size_t i = 0; i < files_.size(); ++i) {
    EXPECT_TRUE(test::ReadFile(Local(files_[i].name)) == previous_[i]) << files_[i].name;
  }
  EXPECT_EQ(Log().back(), "User cancel updates");
}

TEST_F(EndToEnd, TheVendorsKeyReachesTheCompanionWhichRefusesAnEditedManifest) {
  // Releases signed by the real minisign command (tests/servers/signed_releases.py).
  const std::string foo = kLibraries + "Foo.dll";
  test::WriteFile(Local(foo), "installed 1.0.0");
  files_ = {{foo, {1, 0, 0}, {2, 0, 0}, true}};
  const Strings key = test::Split(test::ReadFile(test::ServedFilePath("signed/trusted.pub")), '\n');
  ASSERT_EQ(key.size(), 2u);
  publicKey_ = key[1];

  url_ = test::NginxBase() + "/signed/edited";
  EXPECT_EQ(RunTerminal(/*cancel=*/false, /*launchAlways=*/true),
            "XCheckForUpdates: 0\nXLaunchUpdater: 0\n");
  EXPECT_TRUE(test::ReadFile(Local(foo)) == "installed 1.0.0");
  const Strings log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "Manifest refused: the signature does not match updateinfo.txt"),
            2);

  url_ = test::NginxBase() + "/signed/good";
  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 1\nXLaunchUpdater: 1\n");
  EXPECT_TRUE(test::ReadFile(Local(foo)) ==
              test::ReadFile(test::ServedFilePath("signed/good/Foo.dll")));
}

// A release published by korvan-publish with an expiry installs through the
// real companion; the updater then remembers the expert it installed, whose
// version only the caller claims, and does not offer it again.
TEST_F(EndToEnd, AReleasePublishedWithAnExpiryInstallsOnceThroughTheCompanion) {
  const std::string minisign = platform::FindProgramOnPath("minisign");
  if (minisign.empty()) GTEST_SKIP() << "minisign runs natively only";
  std::int32_t code = -1;
  const std::string keys = scratch_.File("acme");
  ASSERT_TRUE(platform::StartProgramAndWait(
      minisign, "-G -W -p \"" + keys + ".pub\" -s \"" + keys + ".key\"", &code));
  ASSERT_EQ(code, 0);
  // A release folder of its own below the served one.
  const std::string release = test::ServedFilePath(served_.name() + "/acme");
  fs::create_directories(release);
  test::WriteFile(release + "/Acme.ex4", "acme expert 2.0.0");
  ASSERT_TRUE(platform::StartProgramAndWait(
      test::ArtifactPath("korvan-publish"),
      "\"" + release + "\" --version Acme.ex4=2.0.0 --sign \"" + keys + ".key\" --expires 30",
      &code));
  ASSERT_EQ(code, 0);
  const Strings key = test::Split(test::ReadFile(keys + ".pub"), '\n');
  ASSERT_EQ(key.size(), 2u);
  publicKey_ = key[1];
  url_ = served_.url() + "/acme";
  const std::string acme = "/MQL4/Experts/Acme.ex4";
  test::WriteFile(Local(acme), "acme expert 1.0.0");
  files_ = {{acme, {1, 0, 0}, {2, 0, 0}, true}};

  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 1\nXLaunchUpdater: 1\n");
  EXPECT_EQ(test::ReadFile(Local(acme)), "acme expert 2.0.0");
  const Strings log = Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) {
                            return line.rfind("Manifest signature verified: timestamp:", 0) == 0 &&
                                   line.find("\texpires:") != std::string::npos;
                          }),
            2);
  EXPECT_EQ(RunTerminal(), "XCheckForUpdates: 0\n");
}

}  // namespace
