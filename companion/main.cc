// KorvanUpdater: the companion program the terminal starts to apply an
// update. It loads the updater library from its own folder, hands it the
// values of its command line and ends with the library's result.
#include <cstdint>
#include <string>
#include <vector>

#include "companion/command_line_values.h"
#include "platform/api.h"
#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/module_path.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace {

// Exit codes of the companion's own failures; the library's results are 1 or
// more, 0, -2 and -3.
constexpr int kExitMalformedCommandLine = -10;
constexpr int kExitLibraryUnavailable = -11;

constexpr char kCaption[] = "Korvan Updater";

using UpdaterProcessFunction = std::int32_t(KORVAN_CALL*)(const char*, const char*, const char*,
                                                          std::uint32_t);

int Refuse(const std::string& text, int exitCode) {
  // Without a window system the box falls back to standard error.
  platform::ShowMessageBox(text, kCaption, platform::kBoxOk | platform::kBoxIconWarning);
  return platform::ExitStatusFor(exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  CommandLineValues values;
  const std::string problem = ReadCommandLineValues(arguments, &values);
  if (!problem.empty()) {
    return Refuse("The updater cannot run: " + problem +
                      ".\nIt is started by the terminal with -u \"url\" -a \"application path\" "
                      "-f \"files\" -p \"process id\". Nothing was changed.",
                  kExitMalformedCommandLine);
  }

  const std::string libraryPath =
      platform::DirectoryOf(platform::ExecutableFilePath()) + platform::kLibraryFileName;
  platform::SetLastError(0);
  platform::LibraryHandle library = platform::LoadDynamicLibrary(libraryPath);
  if (library == nullptr) {
    const int error = platform::LastError();
    const std::string reason = error != 0 ? platform::SystemErrorText(error) : std::string();
    return Refuse("The updater cannot run: its library " + libraryPath + " cannot be loaded. " +
                      reason + "\nNothing was changed.",
                  kExitLibraryUnavailable);
  }
  auto updaterProcess =
      reinterpret_cast<UpdaterProcessFunction>(platform::FindExport(library, "XUpdaterProcess"));
  if (updaterProcess == nullptr) {
    platform::FreeDynamicLibrary(library);
    return Refuse("The updater cannot run: its library " + libraryPath +
                      " has no function XUpdaterProcess. Nothing was changed.",
                  kExitLibraryUnavailable);
  }

  const std::int32_t result = updaterProcess(values.url.c_str(), values.waitApp.c_str(),
                                             values.files.c_str(), values.hostProcessId);
  platform::FreeDynamicLibrary(library);
  return platform::ExitStatusFor(result);
}
