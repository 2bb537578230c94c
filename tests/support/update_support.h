// Helpers for the tests of the update engine, the update runs, the launcher
// and the companion.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/testing.h"
#include "tests/support/test_support.h"

namespace test {

// Points standard input at the null device, so that a program the test
// starts never waits for an answer from a terminal.
void DetachStandardInput();

// UTF-16 text for the exports that take the terminal's strings (ASCII only).
std::u16string Utf16(const std::string& text);

// The stand-in companion: installs it into `directory` under the real
// companion's name; it then exits with `exitBehaviour` ("5", "-3", "abort").
void InstallFakeCompanion(const std::string& directory, const std::string& exitBehaviour);
std::string FakeCompanionPath();
// The arguments the stand-in received when it last ran from `directory`;
// empty when it never ran.
std::vector<std::string> RecordedArguments(const std::string& directory);
bool FakeCompanionRan(const std::string& directory);

// The message boxes shown while the object lives, recorded with the COM
// calls made so far on the thread, and answered as the test says (OK unless
// told otherwise).
class ScopedBoxRecorder {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned style;
    platform::ComCallCounts com;
    std::string seen;  // what the test's look found while the box was open
  };

  ScopedBoxRecorder();
  ~ScopedBoxRecorder();
  ScopedBoxRecorder(const ScopedBoxRecorder&) = delete;
  ScopedBoxRecorder& operator=(const ScopedBoxRecorder&) = delete;

  std::vector<Box>& boxes() { return boxes_; }
  void Answer(int answer) { answer_ = answer; }
  // Runs `look` while each box is open and records what it says.
  void WhileOpen(std::function<std::string()> look) { look_ = std::move(look); }

 private:
  static int Record(const std::string& text, const std::string& caption, unsigned style);

  std::mutex mutex_;
  std::vector<Box> boxes_;
  int answer_;
  std::function<std::string()> look_;
};

// While the object lives, a download gives up after `timeoutMs` without a
// byte, and a download that failed in passing is tried again at once.
class ScopedShortDownloadWaits {
 public:
  explicit ScopedShortDownloadWaits(int timeoutMs = 3000);
  ~ScopedShortDownloadWaits();
  ScopedShortDownloadWaits(const ScopedShortDownloadWaits&) = delete;
  ScopedShortDownloadWaits& operator=(const ScopedShortDownloadWaits&) = delete;
};

// One entry of a manifest, and a manifest of such entries.
std::string ManifestEntry(const std::string& name, int version, int release, int build);
std::string Manifest(const std::vector<std::string>& entries);

// What one DownloadFile call gave; `received` starts at a value no download
// gives, `responseText` as the caller says.
struct Download {
  std::int32_t result = -1;
  std::uint32_t received = 0xDEADBEEF;
  std::string responseText;
};
Download Fetch(const std::string& url, const std::string& path,
               const std::string& responseText = std::string());

// The apply's log lines of one swap that goes through, for the file `name`
// of an installation at `base` updated from `url`.
std::vector<std::string> SwapLogLines(const std::string& url, const std::string& base,
                                      const std::string& name);

}  // namespace test
