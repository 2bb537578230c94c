// Turning the host's arguments and the library's own path into narrow text.
#include "host/host.h"
#include "platform/module_path.h"
#include "platform/path.h"
#include "platform/text_conversion.h"

std::string WideToAnsi(const char16_t* text) {
  if (text == nullptr) return std::string();
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return platform::WideToNarrow(text, length);
}

std::string GetModuleDirectory() {
  const std::string path = platform::ModuleFilePath();
  const std::string directory = platform::DirectoryOf(path);
  // A bare drive ("C:name") keeps its drive.
  if (directory.empty() && path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  return directory;
}

std::string ReplaceAll(const std::string& subject, const std::string& pattern,
                       const std::string& replacement) {
  std::string result = subject;
  std::size_t position = 0;
  while ((position = result.find(pattern, position)) != std::string::npos) {
    result.replace(position, pattern.size(), replacement);
    position += replacement.size();
  }
  return result;
}

std::string UnescapeQuotes(const std::string& files) { return ReplaceAll(files, "\\\"", "\""); }
