#include "tests/support/update_support.h"

#include <cstdio>
#include <filesystem>

#include "platform/module_path.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace test {

void DetachStandardInput() {
  // Only a POSIX terminal is asked from standard input; Windows boxes are
  // windows, so a failure to find the device there changes nothing.
  std::FILE* reopened = std::freopen("/dev/null", "r", stdin);
  (void)reopened;
}

std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string FakeCompanionPath() {
  return (fs::path(ArtifactDirectory()) / ("korvan_fake_companion" KORVAN_TEST_EXECUTABLE_SUFFIX))
      .string();
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
  const std::string text =
      ReadFile((fs::path(directory) / "fake_companion_arguments.txt").string());
  std::vector<std::string> arguments;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find('\0', start);
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

}  // namespace test
