// A stand-in for the MetaTrader terminal: loads the updater library from a
// folder the way the terminal's programs do and runs one whole update through
// its exports: the check, the user's confirmation, the companion's run.
//
//   KorvanDemoTerminal <library folder> <url> <application path> <files JSON>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/api.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace {

using CheckFunction = std::int32_t(KORVAN_CALL*)(const char16_t*, const char16_t*, const char16_t*);

// The terminal hands its strings over as UTF-16.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    char32_t code = byte;
    std::size_t length = 1;
    if (byte >= 0xF0 && i + 3 < text.size()) {
      code = ((byte & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
             (text[i + 3] & 0x3Fu);
      length = 4;
    } else if (byte >= 0xE0 && i + 2 < text.size()) {
      code = ((byte & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
      length = 3;
    } else if (byte >= 0xC0 && i + 1 < text.size()) {
      code = ((byte & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
      length = 2;
    }
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

// The terminal's programs escape the quotes of the list: the companion's
// command line carries it inside a quoted argument.
std::string EscapeQuotes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <library folder> <url> <application path> <files JSON>\n",
                 argv[0]);
    return 2;
  }
  const std::string libraryPath = std::string(argv[1]) + "/" + platform::kLibraryFileName;
  platform::LibraryHandle library = platform::LoadDynamicLibrary(libraryPath);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", libraryPath.c_str());
    return 2;
  }
  auto check = reinterpret_cast<CheckFunction>(platform::FindExport(library, "XCheckForUpdates"));
  auto launch = reinterpret_cast<CheckFunction>(platform::FindExport(library, "XLaunchUpdater"));
  if (check == nullptr || launch == nullptr) {
    std::fprintf(stderr, "%s lacks the update exports\n", libraryPath.c_str());
    return 2;
  }

  const std::u16string url = Utf16(argv[2]);
  const std::u16string waitApp = Utf16(argv[3]);
  const std::u16string files = Utf16(EscapeQuotes(argv[4]));
  const std::int32_t checked = check(url.c_str(), waitApp.c_str(), files.c_str());
  std::printf("XCheckForUpdates: %d\n", checked);
  int exitCode = 0;
  if (checked == 1) {
    const std::int32_t launched = launch(url.c_str(), waitApp.c_str(), files.c_str());
    std::printf("XLaunchUpdater: %d\n", launched);
    exitCode = launched > 0 ? 0 : 1;
  }
  std::fflush(stdout);
  platform::FreeDynamicLibrary(library);
  return exitCode;
}
