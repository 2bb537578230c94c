// XLaunchUpdater: starts the companion program with the update's arguments
// and hands back its exit code.
#include <cstdio>
#include <vector>

#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/process.h"

namespace {

constexpr std::size_t kParameterBufferSize = 4096;

// The companion may have been cut off while it replaced itself. An update
// under way may be about to move it; its end is waited for, up to the wait
// bound, as the companion would wait for it anyway. False when it did not
// end in time.
bool RestoreCompanion(const std::string& waitApp, const std::string& program) {
  InstallationAccess installation(waitApp);
  if (!installation.Lock()) return false;
  if (NeedsRestoring(program)) RestorePreviousFile(program + ".old", program, g_log.get());
  return true;
}

std::int32_t LaunchUpdater(const char16_t* wideUrl, const char16_t* wideWaitApp,
                           const char16_t* wideFiles) {
  const std::string url = WideToAnsi(wideUrl);
  const std::string waitApp = WideToAnsi(wideWaitApp);
  const std::string files = WideToAnsi(wideFiles);
  g_log->Write(kLogLevel, "Prepare to start apply updates. Params:\n\t%s\n\t%s\n\t[\n\t\t%s\n\t]",
               url.c_str(), waitApp.c_str(), files.c_str());
  const UpdateRunTurn turn;
  if (!turn.taken()) return kUpdateBusyResult;
  const std::string unreachable = UnreachableFolderNotice(wideWaitApp);
  if (!unreachable.empty()) {
    g_log->Write(kLogLevel, "%s", unreachable.c_str());
    return -1;
  }

  std::string parameters;
  const std::string refusal = UpdaterLaunchRefusal(url, waitApp, files, &parameters);
  if (!refusal.empty()) {
    g_log->Write(kLogLevel, "Updater not started: %s", refusal.c_str());
    return -1;
  }

  const std::string program = GetModuleDirectory() + platform::kCompanionFileName;
  if (!RestoreCompanion(waitApp, program)) return kUpdateBusyResult;
  std::int32_t exitCode = 0;
  if (!platform::StartProgramAndWait(program, parameters, &exitCode)) return -1;
  return exitCode;
}

}  // namespace

std::string UpdaterLaunchRefusal(const std::string& url, const std::string& waitApp,
                                 const std::string& files, std::string* parameters) {
  const std::uint32_t processId = platform::CurrentProcessId();
  if (!FormatUpdaterParameters(url, waitApp, files, processId, parameters)) {
    return "its parameters do not fit in " + std::to_string(kParameterBufferSize - 1) +
           " characters";
  }
  return CheckUpdaterParameters(*parameters, url, waitApp, files, processId);
}

bool FormatUpdaterParameters(const std::string& url, const std::string& waitApp,
                             const std::string& files, std::uint32_t processId,
                             std::string* parameters) {
  std::vector<char> buffer(kParameterBufferSize, '\0');
  const int length =
      std::snprintf(buffer.data(), buffer.size(), " -u \"%s\" -a \"%s\" -f \"%s\" -p \"%u\"",
                    url.c_str(), waitApp.c_str(), files.c_str(), processId);
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return false;
  parameters->assign(buffer.data(), static_cast<std::size_t>(length));
  return true;
}

std::string CheckUpdaterParameters(const std::string& parameters, const std::string& url,
                                   const std::string& waitApp, const std::string& files,
                                   std::uint32_t processId) {
  const std::vector<std::string> expected = {
      "-u", url, "-a", waitApp, "-f", UnescapeQuotes(files), "-p", std::to_string(processId)};
  const std::vector<std::string> received = platform::SplitCommandLineArguments(parameters);
  if (received.size() != expected.size()) {
    return "its command line would split into " + std::to_string(received.size()) +
           " arguments instead of 8 (a value ends with a backslash or holds an unescaped quote)";
  }
  static const char* const kNames[] = {"-u", "url",   "-a", "waitApp",
                                       "-f", "files", "-p", "process id"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (received[i] != expected[i]) {
      return std::string("the ") + kNames[i] +
             " argument would reach it changed, as: " + received[i] +
             " (a value ends with a backslash or holds an unescaped quote)";
    }
  }
  return std::string();
}

KORVAN_API std::int32_t KORVAN_CALL XLaunchUpdater(const char16_t* url, const char16_t* waitApp,
                                                   const char16_t* files) {
  try {
    return LaunchUpdater(url, waitApp, files);
  } catch (...) {
    // Out of memory while composing the command line: nothing was started.
    return -1;
  }
}
