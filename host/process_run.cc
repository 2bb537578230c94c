// XUpdaterProcess: a whole update in the companion's process, and the box
// that tells the user how it went.
#include <cstdio>
#include <exception>

#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/com.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace {

// Steps between COM in and COM out; exceptions leave it for the caller.
std::int32_t CheckAndApply(const std::string& url, const std::string& waitApp,
                           const std::string& files) {
  TFileInfoList list;
  ParseFileInfoList(list, files);
  // The apply works with the platform's own separators.
  const std::string applicationPath = ReplaceAll(waitApp, "/", platform::kPreferredSeparator);
  if (!CheckUpdates(list, url)) return 0;

  const std::int32_t updated = ApplyUpdates(url, applicationPath, list);
  if (updated >= 1) {
    char text[256] = {};
    std::snprintf(text, sizeof text,
                  "New version of files successfully loaded. %d files updated. Please restart "
                  "MetaTrader to apply changes.",
                  updated);
    platform::ShowMessageBox(text, "Updater Information",
                             platform::kBoxOk | platform::kBoxIconInformation);
    return updated;
  }
  platform::ShowMessageBox(
      "Failed to update, please try later. See KorvanUpdaterLog for more details",
      "Updater Warning", platform::kBoxOk | platform::kBoxIconWarning);
  return -3;
}

void LogRunError(const char* what) {
  g_log->Write(kLogLevel, "Error when perform update: %s", what);
}

}  // namespace

std::int32_t DoUpdaterProcess(const char* url, const char* waitApp, const char* files,
                              std::uint32_t /*hostProcessId: nothing waits for the terminal*/) {
  // A missing value counts as empty, as a missing host argument does.
  const std::string application = waitApp != nullptr ? waitApp : "";
  WaitAppPath = application;
  platform::InitializeCom();
  std::int32_t result = 0;
  try {
    result = CheckAndApply(url != nullptr ? url : "", application, files != nullptr ? files : "");
  } catch (const std::exception& error) {
    LogRunError(error.what());
    platform::UninitializeCom();
    return -2;
  } catch (...) {
    LogRunError("unknown exception");
    platform::UninitializeCom();
    return -2;
  }
  platform::UninitializeCom();
  return result;
}

KORVAN_API std::int32_t KORVAN_CALL XUpdaterProcess(const char* url, const char* waitApp,
                                                    const char* files,
                                                    std::uint32_t hostProcessId) {
  // Setting WaitAppPath may run out of memory before the run's own handling.
  try {
    return DoUpdaterProcess(url, waitApp, files, hostProcessId);
  } catch (const std::exception& error) {
    LogRunError(error.what());
  } catch (...) {
    LogRunError("unknown exception");
  }
  return -2;
}
