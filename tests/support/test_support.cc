#include "tests/support/test_support.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "log/common_log.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace fs = std::filesystem;

namespace test {

ScratchDirectory::ScratchDirectory() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    const fs::path candidate = base / ("korvan-test-" + std::to_string(random()) + "-" +
                                       std::to_string(counter.fetch_add(1)));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchDirectory::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find(separator, start);
    if (end == std::string::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string ArtifactDirectory() {
  return fs::path(platform::ExecutableFilePath()).parent_path().string();
}

std::string ArtifactPath(const std::string& name) {
  return (fs::path(ArtifactDirectory()) / name).string();
}

std::string LibraryPath() { return ArtifactPath(platform::kLibraryFileName); }
std::string CompanionPath() { return ArtifactPath(platform::kCompanionFileName); }

std::string FixtureLibraryPath(const std::string& name) {
  return ArtifactPath(name + platform::kNativeLibraryExtension);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

ScopedTestLog::ScopedTestLog() : path_(directory_.File("KorvanUpdaterLog.log")) {
  g_log = std::make_shared<TCommonLog>(path_);
}

ScopedTestLog::~ScopedTestLog() { g_log.reset(); }

std::vector<std::string> ScopedTestLog::Messages() const { return LogMessagesIn(path_); }

std::vector<std::string> LogMessagesIn(const fs::path& path) {
  const std::string text = ReadFile(path);
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain += text[i];
  }
  // "[" + 24-character stamp + "] : " starts every message.
  constexpr std::size_t kPrefix = 1 + 24 + 4;
  std::vector<std::string> messages;
  for (const std::string& line : Split(plain, '\n')) {
    const bool startsMessage =
        line.size() >= kPrefix && line[0] == '[' && line.compare(25, 4, "] : ") == 0;
    if (startsMessage) {
      messages.push_back(line.substr(kPrefix));
    } else if (!messages.empty()) {
      messages.back() += "\n" + line;
    }
  }
  return messages;
}

}  // namespace test
