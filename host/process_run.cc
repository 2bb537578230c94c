// XUpdaterProcess: a whole update in the companion's process, and the box
// that tells the user how it went.
#include <cstdio>
#include <memory>

#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/com.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "update/update_observer.h"

namespace {

// The run inside COM; exceptions leave it for the caller. The companion's
// watcher, when there is one, shows the downloads and may cancel them.
std::int32_t CheckAndApply(const std::string& url, const std::string& waitApp,
                           const std::string& files, IUpdateObserver* observer) {
  TFileInfoList list;
  ParseFileInfoList(list, files);
  // The apply works with the platform's own separators.
  const std::string applicationPath = ReplaceAll(waitApp, "/", platform::kPreferredSeparator);
  // One update of an installation at a time: a second one waits, then
  // checks again and finds only what is left to do. The manifest's failure
  // boxes and the final box are shown without the lock.
  InstallationAccess installation(waitApp);
  if (!installation.Repair(list)) return kUpdateBusyResult;
  TFileInfoList serverFiles;
  if (!FetchServerFiles(url, ReadPublicKey(files), serverFiles, observer)) {
    if (observer == nullptr || !observer->Cancelled()) return 0;
    LogUpdateCancelled(0);
    return kUpdateCancelled;
  }
  if (!installation.Lock()) return kUpdateBusyResult;
  if (!MarkNewerFiles(list, serverFiles, waitApp)) return 0;

  const std::int32_t updated = ApplyUpdates(url, applicationPath, list, observer);
  installation.Unlock();
  if (observer != nullptr) observer->Finished();
  // The user who cancelled is told nothing more: the log has the count.
  if (updated == kUpdateCancelled) return kUpdateCancelled;
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

}  // namespace

KORVAN_API std::int32_t KORVAN_CALL XUpdaterProcess(const char* url, const char* waitApp,
                                                    const char* files,
                                                    std::uint32_t /*hostProcessId*/) {
  // Nothing waits for the terminal, so its process id goes unused.
  return LoggingErrors(-2, [&] {
    const UpdateRunTurn turn;
    if (!turn.taken()) return kUpdateBusyResult;
    const platform::ScopedCom com;
    const std::unique_ptr<IUpdateObserver> observer = ProgramUpdateObserver();
    struct FinishedOnExit {
      IUpdateObserver* observer;
      ~FinishedOnExit() {
        if (observer != nullptr) observer->Finished();
      }
    } finished{observer.get()};
    // A missing value counts as empty, as a missing host argument does.
    return CheckAndApply(url != nullptr ? url : "", waitApp != nullptr ? waitApp : "",
                         files != nullptr ? files : "", observer.get());
  });
}
