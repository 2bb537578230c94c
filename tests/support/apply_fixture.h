// The update apply's test fixture: a scratch installation, a folder of files
// that nginx serves, and the log.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/test_servers.h"
#include "tests/support/test_support.h"
#include "update/apply_testing.h"
#include "update/update.h"

namespace test {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

inline TFileInfo Record(const std::string& name, bool needsUpdate = true) {
  TFileInfo file;
  file.name = name;
  file.needsUpdate = needsUpdate;
  return file;
}

// Removes the seam when a test ends, whatever happens.
struct ScopedSwapHook {
  explicit ScopedSwapHook(SwapHookForTesting hook) { SetSwapHookForTesting(hook); }
  ~ScopedSwapHook() { SetSwapHookForTesting(nullptr); }
};

class ApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    served_ = UniqueName("files");
    fs::create_directories(ServedFilePath(served_));
    url_ = NginxBase() + "/" + served_;
    base_ = scratch_.File("T");
    fs::create_directories(base_ + "/Lib");
    waitApp_ = base_ + platform::kPreferredSeparator + "terminal.exe";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(ServedFilePath(served_), ignored);
  }

  void Serve(const std::string& filePart, const std::string& content) {
    WriteFile(ServedFilePath(served_ + "/" + filePart), content);
  }
  void Install(const std::string& name, const std::string& content) {
    WriteFile(base_ + name, content);
  }
  std::string Installed(const std::string& name) const { return ReadFile(base_ + name); }
  bool Exists(const std::string& name) const { return FileExists(base_ + name); }

  std::int32_t Run(const TFileInfoList& files) { return ApplyUpdates(url_, waitApp_, files); }
  Strings Log() const { return log_.Messages(); }

  // The lines of one swap that goes through, for a file already installed.
  Strings SwapLines(const std::string& name) const {
    const std::string target = base_ + name;
    return {"Start download file:\n\tfrom: " + url_ + "/" + ExtractFileName(name) +
                "\n\tto: " + target + ".new",
            "Success rename\n\t" + target + "\n\tto\n\t" + target + ".old",
            "Prepare to rename file:\n\t" + target + ".new\n\tto\n\t" + target};
  }
  // The message of a failed download, with the download's own code and text.
  std::string DownloadFailure(const std::string& address, const std::string& name) {
    std::uint32_t received = 0;
    std::string response;
    const std::int32_t code = DownloadFile(&received, &response, address, scratch_.File("probe"));
    EXPECT_NE(code, 0);
    return "Error updating " + base_ + name + ".new file. Error code =  " + std::to_string(code) +
           ". Error message = " + response + " Try to launch terminal with administrators rights.";
  }

  ScopedTestLog log_;
  ScratchDirectory scratch_;
  std::string served_, url_, base_, waitApp_;
};

}  // namespace test
