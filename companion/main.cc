// KorvanUpdater: the companion program the terminal starts to apply an
// update. It loads the updater library from its own folder, hands it the
// values of its command line and ends with the library's result.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "companion/command_line_values.h"
#include "companion/update_progress.h"
#include "log/common_log.h"
#include "platform/api.h"
#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/installation_lock.h"
#include "platform/module_path.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/progress_display.h"
#include "platform/system_error.h"
#include "update/update.h"
#include "update/update_observer.h"

namespace {

// Exit codes of the companion's own failures; the library's results are 1 or
// more, 0, -2, -3 and -4.
constexpr int kExitMalformedCommandLine = -10;
constexpr int kExitLibraryUnavailable = -11;

constexpr char kCaption[] = "Korvan Updater";

using UpdaterProcessFunction = std::int32_t(KORVAN_CALL*)(const char*, const char*, const char*,
                                                          std::uint32_t);

// The watcher the library finds in this program while the update runs.
KorvanUpdateWatcherTable g_watcher{};
bool g_watching = false;

int Refuse(const std::string& text, int exitCode) {
  // Without a window system the box falls back to standard error.
  platform::ShowMessageBox(text, kCaption, platform::kBoxOk | platform::kBoxIconWarning);
  return platform::ExitStatusFor(exitCode);
}

}  // namespace

// Looked up by the library in the program that loaded it: the terminal has
// no such export, so only the companion shows the update's progress.
extern "C" KORVAN_PROGRAM_EXPORT const KorvanUpdateWatcherTable* KorvanUpdateWatcher() {
  return g_watching ? &g_watcher : nullptr;
}

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

  const std::string libraryDirectory = platform::DirectoryOf(platform::ExecutableFilePath());
  const std::string libraryPath = libraryDirectory + platform::kLibraryFileName;
  // An update under way may be replacing the library: its end is waited
  // for. One cut off while it replaced the library left it under ".old".
  platform::InstallationLock lock(InstallationFolder(values.waitApp));
  if (!lock.directory().empty()) {
    // The library's log, written here only when there is something to say.
    std::unique_ptr<TCommonLog> log;
    const auto logOnce = [&] {
      if (!log)
        log =
            std::make_unique<TCommonLog>(libraryDirectory + platform::kLogPathFromLibraryDirectory);
      return log.get();
    };
    if (!TakeInstallationLock(lock, /*wait=*/false, nullptr)) {
      TakeInstallationLock(lock, /*wait=*/true, logOnce());
    }
    if (NeedsRestoring(libraryPath)) {
      RestorePreviousFile(libraryPath + ".old", libraryPath, logOnce());
    }
  }
  platform::SetLastError(0);
  platform::LibraryHandle library = platform::LoadDynamicLibrary(libraryPath);
  // Loaded, the library is safe from being moved; the update it runs takes
  // the lock itself.
  lock.Release();
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

  UpdateProgress progress;
  g_watcher = WatcherTableFor(&progress);
  g_watching = true;
  platform::CatchInterruptSignals();
  const std::int32_t result = updaterProcess(values.url.c_str(), values.waitApp.c_str(),
                                             values.files.c_str(), values.hostProcessId);
  g_watching = false;
  progress.Finished();
  platform::FreeDynamicLibrary(library);
  return platform::ExitStatusFor(result);
}
