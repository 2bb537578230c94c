// korvan-publish: the manifest it writes, read back as the updater reads it,
// and what it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/native_path.h"
#include "platform/process.h"
#include "platform/program_search.h"
#include "publisher/publisher.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kLibrary = std::string("version_both") + platform::kNativeLibraryExtension;

std::string PublisherPath() {
  for (const char* name : {"korvan-publish", "korvan-publish.exe", "korvan-publish64.exe"}) {
    const std::string path = test::ArtifactPath(name);
    if (test::FileExists(path)) return path;
  }
  return std::string();
}

// A release folder with a library that reports 4.5.1 and a file that cannot.
class Publisher : public ::testing::Test {
 protected:
  Publisher() {
    fs::copy_file(test::FixtureLibraryPath("version_both"), release_.File(kLibrary));
    test::WriteFile(release_.File("Expert.ex4"), "abc");
  }

  int Run(const std::string& parameters) {
    std::int32_t code = -1;
    EXPECT_TRUE(platform::StartProgramAndWait(PublisherPath(), parameters, &code));
    return code;
  }

  int PublishInProcess(publisher::PublishOptions options) {
    options.folder = release_.path();
    publisher::ProbingVersionReader reader(PublisherPath());
    std::ostringstream out;
    return publisher::Publish(options, reader, out, err_);
  }

  TFileInfoList Manifest() {
    TFileInfoList list;
    ParseFileInfoList(list, test::ReadFile(release_.File("updateinfo.txt")));
    return list;
  }

  test::ScratchDirectory release_;
  std::ostringstream err_;
};

TEST_F(Publisher, WritesWhatTheUpdaterReadsBack) {
  ASSERT_EQ(0,
            Run("\"" + release_.path() +
                "\" --version Expert.ex4=1.2.30 --description \"Expert.ex4=My \\\"expert\\\"\""));
  const TFileInfoList list = Manifest();
  ASSERT_EQ(2u, list.size());
  // Sorted by name; the library's version read from the library itself.
  EXPECT_EQ("Expert.ex4", list[0].name);
  EXPECT_EQ("v1.2.30", VersionText(list[0]));
  EXPECT_EQ("My \"expert\"", list[0].description);
  EXPECT_EQ(3, list[0].size);
  EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", list[0].sha1);
  EXPECT_NE(std::string::npos,
            test::ReadFile(release_.File("updateinfo.txt"))
                .find("\"sha256\": "
                      "\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\""));
  EXPECT_EQ(kLibrary, list[1].name);
  EXPECT_EQ("v4.5.1", VersionText(list[1]));
  EXPECT_EQ(static_cast<std::int32_t>(fs::file_size(release_.File(kLibrary))), list[1].size);
  EXPECT_EQ(2, Run("--no-such-option"));
}

TEST_F(Publisher, RefusesAndLeavesTheManifestUntouched) {
  test::ScratchDirectory elsewhere;
  const std::string previous = elsewhere.File("previous.txt");
  test::WriteFile(previous,
                  "{\"Files\": [{\"name\": \"Expert.ex4\", \"version\": 1, \"release\": 3}]}");
  const publisher::VersionTriple v120{1, 2, 0};
  const publisher::VersionTriple v140{1, 4, 0};
  struct Case {
    const char* extraFile;  // created in the release for this case only
    std::map<std::string, publisher::VersionTriple> versions;
    std::string previous;
    const char* reason;  // in the refusal
  };
  const Case cases[] = {
      {nullptr, {}, "", "version of Expert.ex4 is unknown"},
      {"My Expert.ex4", {{"Expert.ex4", v140}, {"My Expert.ex4", v140}}, "", "cannot be asked for"},
      {"50%.set", {{"Expert.ex4", v140}}, "", "cannot be asked for"},
      {"\xE4\xB8\xAD\xE6\x96\x87.set", {{"Expert.ex4", v140}}, "", "cannot be asked for"},
      {nullptr, {{"Expert.ex4", v120}}, previous, "1.2.0 is lower than 1.3.0"},
      {nullptr, {{"Expert.ex4", v140}}, elsewhere.File("missing.txt"), "cannot read"},
      {nullptr, {{"Expert.ex4", v140}, {kLibrary, v140}}, "", "reports version 4.5."},
      {nullptr, {{"Expert.ex4", v140}, {"Missing.ex4", v140}}, "", "not a file of the release"},
      {"expert.EX4", {{"Expert.ex4", v140}, {"expert.EX4", v140}}, "", "only in letter case"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    test::WriteFile(release_.File("updateinfo.txt"), "previous manifest");
    const fs::path extra =
        platform::NativePathOf(release_.path()) / fs::u8path(c.extraFile ? c.extraFile : "");
    if (c.extraFile != nullptr) std::ofstream(extra) << "x";
    publisher::PublishOptions options;
    options.versions = c.versions;
    options.previousManifest = c.previous;
    // Where the file system ignores letter case, the two names are one file.
    const bool distinct =
        c.extraFile == nullptr ||
        std::distance(fs::directory_iterator(release_.path()), fs::directory_iterator()) == 4;
    if (distinct) {
      err_.str("");
      EXPECT_EQ(1, PublishInProcess(options));
      EXPECT_NE(std::string::npos, err_.str().find(c.reason)) << err_.str();
    }
    EXPECT_EQ("previous manifest", test::ReadFile(release_.File("updateinfo.txt")));
    if (c.extraFile != nullptr && distinct) fs::remove(extra);
  }
  // Every version known and none lower than before: published.
  publisher::PublishOptions options;
  options.versions["Expert.ex4"] = v140;
  options.previousManifest = previous;
  EXPECT_EQ(0, PublishInProcess(options)) << err_.str();
  EXPECT_EQ(2u, Manifest().size());
}

// A manifest signed through --sign verifies with minisign's public key.
TEST_F(Publisher, SignsWithMinisign) {
  const std::string minisign = platform::FindProgramOnPath("minisign");
  if (minisign.empty()) GTEST_SKIP() << "minisign runs natively only";
  test::ScratchDirectory keys;
  std::int32_t code = -1;
  ASSERT_TRUE(platform::StartProgramAndWait(
      minisign, "-G -W -p \"" + keys.File("key.pub") + "\" -s \"" + keys.File("key.sec") + "\"",
      &code));
  ASSERT_EQ(0, code);
  publisher::PublishOptions options;
  options.versions["Expert.ex4"] = publisher::VersionTriple{1, 0, 0};
  options.secretKeyFile = keys.File("key.sec");
  // Minisign's own trusted comment, then one that expires in 30 days.
  for (const std::int32_t days : {0, 30}) {
    options.expiresDays = days;
    const std::int64_t before = platform::Now();
    ASSERT_EQ(0, PublishInProcess(options)) << err_.str();
    ASSERT_TRUE(platform::StartProgramAndWait(
        minisign,
        "-V -q -p \"" + keys.File("key.pub") + "\" -m \"" + release_.File("updateinfo.txt") + "\"",
        &code));
    EXPECT_EQ(0, code);
    const std::vector<std::string> lines =
        test::Split(test::ReadFile(release_.File("updateinfo.txt.minisig")), '\n');
    ASSERT_GE(lines.size(), 3u);
    const std::string::size_type expires = lines[2].find("\texpires:");
    EXPECT_EQ(expires != std::string::npos, days != 0) << lines[2];
    if (expires == std::string::npos) continue;
    const std::int64_t at = std::stoll(lines[2].substr(expires + 9));
    EXPECT_GE(at, before + 30 * 86400) << lines[2];
    EXPECT_LE(at, platform::Now() + 30 * 86400) << lines[2];
  }
}

TEST(PublisherArguments, ExpiresTakesDaysAndNeedsASignature) {
  struct Case {
    std::vector<std::string> arguments;
    std::int32_t days;  // -1: refused
  };
  const Case cases[] = {
      {{"folder", "--sign", "k", "--expires", "30"}, 30},
      {{"folder", "--expires", "1", "--sign", "k"}, 1},
      {{"folder", "--sign", "k", "--expires", "0"}, -1},
      {{"folder", "--sign", "k", "--expires", "36501"}, -1},
      {{"folder", "--sign", "k", "--expires", "7d"}, -1},
      {{"folder", "--expires", "30"}, -1},
  };
  for (const Case& c : cases) {
    publisher::PublishOptions options;
    bool help = false;
    std::string error;
    EXPECT_EQ(publisher::ParseArguments(c.arguments, &options, &help, &error), c.days >= 0)
        << c.arguments.back() << ": " << error;
    if (c.days >= 0) {
      EXPECT_EQ(options.expiresDays, c.days);
    }
  }
}

}  // namespace
