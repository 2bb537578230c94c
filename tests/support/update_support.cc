#include "tests/support/update_support.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/dialogs.h"
#include "platform/http.h"
#include "platform/module_path.h"
#include "tests/support/test_support.h"
#include "update/update.h"

namespace fs = std::filesystem;

namespace test {

namespace {
// The recorder that the handler, a plain function, reports to.
ScopedBoxRecorder* g_recorder = nullptr;
}  // namespace

void DetachStandardInput() {
  // Only a POSIX terminal is asked from standard input; Windows boxes are
  // windows, so a failure to find the device there changes nothing.
  std::FILE* reopened = std::freopen("/dev/null", "r", stdin);
  (void)reopened;
}

std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string FakeCompanionPath() {
  return ArtifactPath("korvan_fake_companion" KORVAN_TEST_EXECUTABLE_SUFFIX);
}

void InstallFakeCompanion(const std::string& directory, const std::string& exitBehaviour) {
  const fs::path installed = fs::path(directory) / platform::kCompanionFileName;
  fs::copy_file(FakeCompanionPath(), installed, fs::copy_options::overwrite_existing);
  WriteFile((fs::path(directory) / "fake_companion_exit.txt").string(), exitBehaviour);
  std::error_code ignored;
  fs::remove(fs::path(directory) / "fake_companion_arguments.txt", ignored);
}

bool FakeCompanionRan(const std::string& directory) {
  return FileExists((fs::path(directory) / "fake_companion_arguments.txt").string());
}

std::vector<std::string> RecordedArguments(const std::string& directory) {
  return Split(ReadFile((fs::path(directory) / "fake_companion_arguments.txt").string()), '\0');
}

ScopedBoxRecorder::ScopedBoxRecorder() : answer_(platform::kAnswerOk) {
  g_recorder = this;
  platform::SetMessageBoxHandlerForTesting(&Record);
}

ScopedBoxRecorder::~ScopedBoxRecorder() {
  platform::SetMessageBoxHandlerForTesting(nullptr);
  g_recorder = nullptr;
}

int ScopedBoxRecorder::Record(const std::string& text, const std::string& caption, unsigned style) {
  // Runs on several threads may each show a box.
  const std::lock_guard<std::mutex> hold(g_recorder->mutex_);
  g_recorder->boxes_.push_back({text, caption, style, platform::ComCallCountsOnThisThread(),
                                g_recorder->look_ ? g_recorder->look_() : std::string()});
  return g_recorder->answer_;
}

ScopedShortDownloadWaits::ScopedShortDownloadWaits(int timeoutMs) {
  platform::DownloadTiming timing;
  timing.noByteTimeoutMs = timeoutMs;
  timing.retryDelaysMs[0] = timing.retryDelaysMs[1] = 10;
  platform::SetDownloadTimingForTesting(&timing);
}

ScopedShortDownloadWaits::~ScopedShortDownloadWaits() {
  platform::SetDownloadTimingForTesting(nullptr);
}

std::string ManifestEntry(const std::string& name, int version, int release, int build) {
  return R"({"name": ")" + name + R"(", "version": )" + std::to_string(version) +
         R"(, "release": )" + std::to_string(release) + R"(, "build": )" + std::to_string(build) +
         "}";
}

std::string Manifest(const std::vector<std::string>& entries) {
  std::string files;
  for (const std::string& entry : entries) files += (files.empty() ? "" : ", ") + entry;
  return R"({"Files": [)" + files + "]}";
}

Download Fetch(const std::string& url, const std::string& path, const std::string& responseText) {
  Download download;
  download.responseText = responseText;
  download.result = DownloadFile(&download.received, &download.responseText, url, path);
  return download;
}

std::vector<std::string> SwapLogLines(const std::string& url, const std::string& base,
                                      const std::string& name) {
  const std::string target = base + name;
  return {"Start download file:\n\tfrom: " + url + "/" + ExtractFileName(name) +
              "\n\tto: " + target + ".new",
          "Success rename\n\t" + target + "\n\tto\n\t" + target + ".old",
          "Prepare to rename file:\n\t" + target + ".new\n\tto\n\t" + target};
}

}  // namespace test
