// Helpers shared by the tests: scratch folders, files, the built artifacts
// and the log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test {

// A fresh folder, removed with its content when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The folder's path, ending without a separator.
  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Paths in the system's spelling, so that a folder of any name is reached.
std::string ReadFile(const std::filesystem::path& path);  // bytes as stored; empty if missing
void WriteFile(const std::filesystem::path& path, const std::string& content);
bool FileExists(const std::filesystem::path& path);
// The parts between the separators; a final separator ends the last part.
std::vector<std::string> Split(const std::string& text, char separator);

// The folder holding the test program, the library and the companion, and
// the path of the built file `name` in it.
std::string ArtifactDirectory();
std::string ArtifactPath(const std::string& name);
std::string LibraryPath();    // the built updater library
std::string CompanionPath();  // the built companion program
// The built test library `name` (tests/fixtures/<name>.cc).
std::string FixtureLibraryPath(const std::string& name);

// An environment variable set by the test registration; empty when unset.
std::string Environment(const char* name);

// The messages of a log file, each without its "[stamp] : " prefix; a message
// with line feeds stays one entry.
std::vector<std::string> LogMessagesIn(const std::filesystem::path& path);

// Installs a log object writing to a scratch file as g_log for the lifetime of
// the object, and restores the previous holder afterwards.
class ScopedTestLog {
 public:
  ScopedTestLog();
  ~ScopedTestLog();
  ScopedTestLog(const ScopedTestLog&) = delete;
  ScopedTestLog& operator=(const ScopedTestLog&) = delete;

  const std::string& path() const { return path_; }
  // The messages written so far, each without its "[stamp] : " prefix; a
  // message with line feeds stays one entry.
  std::vector<std::string> Messages() const;

 private:
  ScratchDirectory directory_;
  std::string path_;
};

}  // namespace test
