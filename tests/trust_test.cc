// Signed manifests and files checked against the manifest, through both update
// runs: the check in the terminal's process and the whole update in the
// companion's. The releases were signed by the real minisign command
// (tests/servers/signed_releases.py) before the tests started.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/update_runs.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/testing.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "tests/support/update_support.h"
#include "update/update.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

const char kInstalled[] = "installed 1.0.0";
const char kTarget[] = "/MQL4/Libraries/Foo.dll";

// The vendor's key as a caller passes it: the second line of its .pub file.
std::string VendorKey() {
  const Strings lines =
      test::Split(test::ReadFile(test::ServedFilePath("signed/trusted.pub")), '\n');
  EXPECT_GE(lines.size(), 2u) << "the signed releases were not prepared";
  return lines.size() < 2 ? std::string() : lines[1];
}

bool Contains(const Strings& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

// An installation holding Foo.dll 1.0.0, with its own log, temporary folder
// and recorded boxes, that runs the terminal's check and the companion's
// whole update against one release.
class Installation {
 public:
  Installation() {
    fs::create_directories(scratch_.File("temp"));
    platform::SetTemporaryDirectoryForTesting(scratch_.File("temp") +
                                              platform::kPreferredSeparator);
    base_ = scratch_.File("T");
    fs::create_directories(base_ + "/MQL4/Libraries");
    test::WriteFile(base_ + kTarget, kInstalled);
    waitApp_ = base_ + platform::kPreferredSeparator + "terminal.exe";
  }
  ~Installation() { platform::SetTemporaryDirectoryForTesting(""); }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // The boxes shown so far, each as its caption, a line feed and its text.
  Strings Boxes() {
    Strings shown;
    for (const auto& box : recorder_.boxes()) {
      EXPECT_EQ(box.style, box.caption == "Updater Information" ? 0x40u : 0x30u) << box.caption;
      shown.push_back(box.caption + "\n" + box.text);
    }
    return shown;
  }

  // The local list: Foo.dll at `version`, with the vendor's key or without.
  static std::string Files(bool withKey, int version = 1) {
    return std::string("{") + (withKey ? "\"PublicKey\": \"" + VendorKey() + "\", " : "") +
           R"("Files": [{"name": ")" + kTarget + R"(", "version": )" + std::to_string(version) +
           R"(, "release": 0, "build": 0}]})";
  }
  std::int32_t Check(const std::string& url, const std::string& files) {
    TFileInfoList marked;
    return DoCheckForUpdates(url, waitApp_, files, marked);
  }
  std::int32_t Update(const std::string& url, const std::string& files) {
    return XUpdaterProcess(url.c_str(), waitApp_.c_str(), files.c_str(), 0);
  }

  std::string Installed() const { return test::ReadFile(base_ + kTarget); }
  // Nothing changed: the installed file, no ".new" or ".old" beside it, no
  // temporary file left.
  ::testing::AssertionResult Untouched() const {
    if (Installed() != kInstalled) return ::testing::AssertionFailure() << "Foo.dll replaced";
    for (const char* suffix : {".new", ".old"}) {
      if (test::FileExists(base_ + kTarget + suffix)) {
        return ::testing::AssertionFailure() << "Foo.dll" << suffix << " left";
      }
    }
    if (!fs::is_empty(scratch_.File("temp"))) {
      return ::testing::AssertionFailure() << "a temporary file left";
    }
    return ::testing::AssertionSuccess();
  }
  Strings Log() const { return log_.Messages(); }

 private:
  test::ScopedBoxRecorder recorder_;
  test::ScopedTestLog log_;
  test::ScratchDirectory scratch_;
  std::string base_, waitApp_;
};

std::string Release(const std::string& name) { return test::NginxBase() + "/signed/" + name; }

// The request lines nginx has logged so far.
std::string NginxAccessLog() {
  return test::ReadFile(test::ServedFilePath("../test-servers/nginx-access.log"));
}

TEST(Trust, ReleasesSignedByTheVendorInstallAndNothingOlderRollsBack) {
  struct Case {
    const char* what;
    const char* release;
    bool withKey;
    int installedVersion;
    bool installs;
  };
  const Case cases[] = {
      {"signed over the hash, digest in capitals", "good", true, 1, true},
      {"signed the legacy way over the file", "legacy", true, 1, true},
      {"no key: no signature asked for", "good", false, 1, true},
      {"a replayed older signed manifest", "old", true, 2, false},
      {"the installed version itself", "good", true, 2, false},
  };
  const std::string served = test::ReadFile(test::ServedFilePath("signed/good/Foo.dll"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation installation;
    const std::string files = Installation::Files(c.withKey, c.installedVersion);
    const std::size_t requestsBefore = NginxAccessLog().size();

    EXPECT_EQ(installation.Check(Release(c.release), files), c.installs ? 1 : 0);
    EXPECT_TRUE(installation.Boxes().empty());
    EXPECT_EQ(installation.Update(Release(c.release), files), c.installs ? 1 : 0);

    if (c.installs) {
      EXPECT_TRUE(installation.Installed() == served);
      EXPECT_EQ(installation.Boxes().size(), 1u);
    } else {
      EXPECT_TRUE(installation.Untouched());
      EXPECT_TRUE(installation.Boxes().empty());
    }
    const Strings log = installation.Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) {
                              return line.rfind("Manifest signature verified: timestamp:", 0) == 0;
                            }),
              c.withKey ? 2 : 0);
    // Without a key nothing more is asked of the server.
    const std::string signatureRequest =
        "GET /signed/" + std::string(c.release) + "/updateinfo.txt.minisig ";
    const bool signatureAsked =
        NginxAccessLog().substr(requestsBefore).find(signatureRequest) != std::string::npos;
    EXPECT_EQ(signatureAsked, c.withKey);
  }
}

TEST(Trust, TamperingsLeaveTheInstallationUntouched) {
  struct Case {
    const char* what;
    std::string url;
    // The check's refusal, or empty when the check passes and the apply must
    // refuse the file.
    const char* refusal;
    std::int32_t downloadError;  // the apply's code; 0: any failure
  };
  // Under Wine a chunked answer cut before its last chunk looks whole: only
  // the digest catches it there.
  const std::int32_t cutError = KORVAN_TEST_CUT_CHUNKED_LOOKS_WHOLE ? kManifestMismatchError : 0;
  const Case cases[] = {
      {"a manifest edited after signing", Release("edited"),
       "the signature does not match updateinfo.txt", 0},
      {"a signature from another key", Release("other-key"),
       "updateinfo.txt.minisig was made with another key", 0},
      {"another key's signature under the vendor's key id", Release("forged"),
       "the signature does not match updateinfo.txt", 0},
      {"a trusted comment edited", Release("comment-edited"),
       "the trusted comment's signature does not verify", 0},
      {"a signature file that is none", Release("garbage"),
       "updateinfo.txt.minisig is not a minisign signature", 0},
      {"no signature file", Release("unsigned"), "updateinfo.txt.minisig could not be downloaded",
       0},
      {"file bytes that differ from the digest", Release("bad-file"), "", kManifestMismatchError},
      {"a chunked download cut before its last chunk",
       test::ControlBase() + "/cut-release/signed/good", "", cutError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation installation;
    const std::string files = Installation::Files(true);
    const bool checkPasses = std::string(c.refusal).empty();

    EXPECT_EQ(installation.Check(c.url, files), checkPasses ? 1 : 0);
    EXPECT_EQ(installation.Update(c.url, files), checkPasses ? -3 : 0);

    EXPECT_TRUE(installation.Untouched());
    const Strings log = installation.Log();
    if (checkPasses) {
      ASSERT_EQ(installation.Boxes().size(), 1u);
      const std::string shown = installation.Boxes()[0];
      EXPECT_EQ(shown.rfind("Updater Warning\n", 0), 0u) << shown;
      const std::string failure =
          c.downloadError == 0
              ? std::string("Foo.dll.new file. Error code =  ")
              : "Foo.dll.new file. Error code =  " + std::to_string(c.downloadError) +
                    ". Error message = The file does not match the manifest";
      EXPECT_TRUE(Contains(log, failure)) << failure;
    } else {
      // The same refusal in both processes.
      const std::string box =
          std::string("Updater Files\nError verifying updateinfo: ") + c.refusal;
      ASSERT_EQ(installation.Boxes().size(), 2u);
      for (const std::string& shown : installation.Boxes())
        EXPECT_EQ(shown.rfind(box, 0), 0u) << shown;
      EXPECT_EQ(std::count_if(log.begin(), log.end(),
                              [&](const std::string& line) {
                                return line.rfind(std::string("Manifest refused: ") + c.refusal,
                                                  0) == 0;
                              }),
                2);
      EXPECT_FALSE(Contains(log, "Check versions of local files"));
    }
  }
}

}  // namespace
