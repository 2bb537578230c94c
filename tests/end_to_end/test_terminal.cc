// A stand-in for the terminal in the end-to-end tests: loads the updater
// library as the terminal's programs do and calls XCheckForUpdates and, when
// the user agreed, XLaunchUpdater with UTF-16 arguments.
//
//   korvan_test_terminal <request file>
//
// The request file holds five lines in UTF-8: the library's path, url,
// waitApp, files (its quotes escaped, as the terminal's programs hand it over)
// and the path of the result file, which receives "check <result>" and
// "launch <result>". A sixth line "always" has it launch whatever the check
// gave.
#include <codecvt>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>

#include "platform/api.h"
#include "platform/dynamic_library.h"

namespace {

using UpdateFunction = std::int32_t(KORVAN_CALL*)(const char16_t*, const char16_t*,
                                                  const char16_t*);

std::u16string Utf16(const std::string& text) {
  return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().from_bytes(text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream request(argv[1], std::ios::binary);  // the tests keep its path ASCII
  std::string libraryPath, url, waitApp, files, resultPath;
  if (!std::getline(request, libraryPath) || !std::getline(request, url) ||
      !std::getline(request, waitApp) || !std::getline(request, files) ||
      !std::getline(request, resultPath)) {
    return 3;
  }
  std::string launchAlways;
  std::getline(request, launchAlways);
  // A Unicode program: the library's folder may have any name.
  platform::LibraryHandle library =
      platform::LoadDynamicLibraryAt(std::filesystem::path(Utf16(libraryPath)));
  if (library == nullptr) return 4;
  auto check = reinterpret_cast<UpdateFunction>(platform::FindExport(library, "XCheckForUpdates"));
  auto launch = reinterpret_cast<UpdateFunction>(platform::FindExport(library, "XLaunchUpdater"));
  if (check == nullptr || launch == nullptr) return 5;

  std::ofstream result(std::filesystem::path(Utf16(resultPath)), std::ios::binary);
  const std::u16string wideUrl = Utf16(url), wideWaitApp = Utf16(waitApp), wideFiles = Utf16(files);
  const std::int32_t checked = check(wideUrl.c_str(), wideWaitApp.c_str(), wideFiles.c_str());
  result << "check " << checked << "\n" << std::flush;
  if (checked == 1 || launchAlways == "always") {
    const std::int32_t launched = launch(wideUrl.c_str(), wideWaitApp.c_str(), wideFiles.c_str());
    result << "launch " << launched << "\n";
  }
  result.close();
  platform::FreeDynamicLibrary(library);
  return 0;
}
