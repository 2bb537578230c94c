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
#include "tests/support/update_support.h"
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
    url_ = served_.url();
    base_ = scratch_.File("T");
    fs::create_directories(base_ + "/Lib");
    waitApp_ = base_ + platform::kPreferredSeparator + "terminal.exe";
  }

  void Serve(const std::string& filePart, const std::string& content) {
    served_.Put(filePart, content);
  }
  void Install(const std::string& name, const std::string& content) {
    WriteFile(base_ + name, content);
  }
  std::string Installed(const std::string& name) const { return ReadFile(base_ + name); }
  bool Exists(const std::string& name) const { return FileExists(base_ + name); }

  std::int32_t Run(const TFileInfoList& files) { return ApplyUpdates(url_, waitApp_, files); }
  Strings Log() const { return log_.Messages(); }

  // The lines of one swap that goes through, for a file already installed.
  Strings SwapLines(const std::string& name) const { return SwapLogLines(url_, base_, name); }
  // The message of a failed download, with the download's own code and text.
  std::string DownloadFailure(const std::string& address, const std::string& name) {
    const Download download = Fetch(address, scratch_.File("probe"));
    EXPECT_NE(download.result, 0);
    return "Error updating " + base_ + name +
           ".new file. Error code =  " + std::to_string(download.result) +
           ". Error message = " + download.responseText +
           " Try to launch terminal with administrators rights.";
  }

  ScopedTestLog log_;
  ScopedShortDownloadWaits waits_;
  ScratchDirectory scratch_;
  ServedFolder served_;
  std::string url_, base_, waitApp_;
};

}  // namespace test
