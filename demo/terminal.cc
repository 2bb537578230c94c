// A stand-in for the MetaTrader terminal: loads the updater library from a
// folder the way the terminal's programs do and runs one whole update through
// its exports: the check, the user's confirmation, the companion's run. The
// demo, the benchmarks and the end-to-end tests run it.
//
//   KorvanDemoTerminal <library folder> <url> <application path> <files JSON>
//                      [<result file> [always]]
//   KorvanDemoTerminal @<file holding those arguments, one a line>
//
// Arguments are UTF-8. It escapes the list's quotes as the terminal's programs
// do, prints each export's result ("XCheckForUpdates: 1") and writes the same
// lines to the result file when one is named; "always" launches the companion
// whatever the check gave. Exit status 0 once the exports ran, 2 when the
// terminal itself could not run them.
#include <codecvt>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace {

using UpdateFunction = std::int32_t(KORVAN_CALL*)(const char16_t*, const char16_t*,
                                                  const char16_t*);

// The terminal is a Unicode program: it hands its strings over as UTF-16. Text
// that is no UTF-8 gives the empty string.
std::u16string Utf16(const std::string& text) {
  return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>(std::string(), u"")
      .from_bytes(text);
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

// The arguments after the program's name; "@file" stands for the file's
// lines, which spares a caller the quoting of a list on a command line.
std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() != 1 || arguments[0].rfind('@', 0) != 0) return arguments;
  std::ifstream file(arguments[0].substr(1), std::ios::binary);
  arguments.clear();
  for (std::string line; std::getline(file, line);) arguments.push_back(line);
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = Arguments(argc, argv);
  if (arguments.size() < 4 || arguments.size() > 6) {
    std::fprintf(stderr,
                 "usage: %s <library folder> <url> <application path> <files JSON> [<result "
                 "file> [always]]\n",
                 argv[0]);
    return 2;
  }
  const std::filesystem::path libraryPath =
      std::filesystem::path(Utf16(arguments[0])) / platform::kLibraryFileName;
  platform::LibraryHandle library = platform::LoadDynamicLibraryAt(libraryPath);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", libraryPath.u8string().c_str());
    return 2;
  }
  auto check = reinterpret_cast<UpdateFunction>(platform::FindExport(library, "XCheckForUpdates"));
  auto launch = reinterpret_cast<UpdateFunction>(platform::FindExport(library, "XLaunchUpdater"));
  if (check == nullptr || launch == nullptr) {
    std::fprintf(stderr, "%s lacks the update exports\n", libraryPath.u8string().c_str());
    return 2;
  }

  std::ofstream result;
  if (arguments.size() >= 5)
    result.open(std::filesystem::path(Utf16(arguments[4])), std::ios::binary);
  const auto report = [&result](const char* name, std::int32_t value) {
    std::printf("%s: %d\n", name, value);
    std::fflush(stdout);
    result << name << ": " << value << "\n" << std::flush;
  };
  const std::u16string url = Utf16(arguments[1]);
  const std::u16string waitApp = Utf16(arguments[2]);
  const std::u16string files = Utf16(EscapeQuotes(arguments[3]));
  const std::int32_t checked = check(url.c_str(), waitApp.c_str(), files.c_str());
  report("XCheckForUpdates", checked);
  if (checked == 1 || (arguments.size() == 6 && arguments[5] == "always")) {
    report("XLaunchUpdater", launch(url.c_str(), waitApp.c_str(), files.c_str()));
  }
  result.close();
  platform::FreeDynamicLibrary(library);
  return 0;
}
