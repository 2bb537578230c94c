// XCheckForUpdates: the check run in the terminal's process and the
// confirmation box.
#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/com.h"
#include "platform/dialogs.h"

namespace {

std::int32_t CheckForUpdates(const char16_t* wideUrl, const char16_t* wideWaitApp,
                             const char16_t* wideFiles) {
  const std::string url = WideToAnsi(wideUrl);
  const std::string waitApp = WideToAnsi(wideWaitApp);
  const std::string files = WideToAnsi(wideFiles);
  g_log->Write(kLogLevel,
               "Start check update:\n\turl = %s\n\twaitApp = %s\n\tfiles = [\n\t\t%s\n\t]",
               url.c_str(), waitApp.c_str(), files.c_str());
  const UpdateRunTurn turn;
  if (!turn.taken()) {
    g_log->Write(kLogLevel, "Result check = %d", 0);
    return 0;
  }
  // A folder the narrow text cannot name would be probed as empty and every
  // file offered as out of date.
  const std::string unreachable = UnreachableFolderNotice(wideWaitApp);
  if (!unreachable.empty()) {
    g_log->Write(kLogLevel, "%s", unreachable.c_str());
    platform::ShowMessageBox(unreachable, "Updater Warning",
                             platform::kBoxOk | platform::kBoxIconWarning);
    g_log->Write(kLogLevel, "Result check = %d", 0);
    return 0;
  }
  // Confirmed, the update would fail at its start: a vendor with some 40
  // files meets the command line's limit.
  std::string parameters;
  const std::string refusal = UpdaterLaunchRefusal(url, waitApp, files, &parameters);
  if (!refusal.empty()) {
    const std::string notice =
        "No update can be offered: the updater could not be started with these values, as " +
        refusal + ".";
    g_log->Write(kLogLevel, "%s", notice.c_str());
    platform::ShowMessageBox(notice, "Updater Warning",
                             platform::kBoxOk | platform::kBoxIconWarning);
    g_log->Write(kLogLevel, "Result check = %d", 0);
    return 0;
  }
  TFileInfoList marked;
  std::int32_t result = DoCheckForUpdates(url, waitApp, files, marked);
  g_log->Write(kLogLevel, "Result check = %d", result);
  if (result == 1) {
    std::string names;
    for (const TFileInfo& file : marked) {
      if (file.needsUpdate) names += file.name + "\n";
    }
    const std::string text = "Files: \n" + names + "\nDo you want to download?";
    std::string whyNotShown;
    const int answer = platform::ShowMessageBox(
        text, "New version of files available",
        platform::kBoxOkCancel | platform::kBoxIconInformation, &whyNotShown);
    if (answer == platform::kAnswerCancel) {
      g_log->Write(kLogLevel, "User cancel updates");
      result = -1;
    } else if (answer == platform::kAnswerNone) {
      // Unattended terminals rely on going ahead; the log at least says so.
      g_log->Write(kLogLevel,
                   "The question could not be shown (%s): the update goes ahead as if the user "
                   "had confirmed it",
                   whyNotShown.c_str());
    }
  }
  return result;
}

}  // namespace

std::int32_t DoCheckForUpdates(const std::string& url, const std::string& waitApp,
                               const std::string& files, TFileInfoList& out) {
  TFileInfoList list;
  std::optional<std::string> publicKey;
  {
    const platform::ScopedCom com;
    const std::string plainFiles = UnescapeQuotes(files);
    ParseFileInfoList(list, plainFiles);
    publicKey = ReadPublicKey(plainFiles);
  }
  // The check itself runs without COM.
  InstallationAccess installation(waitApp);
  if (!installation.Repair(list)) return 0;
  TFileInfoList serverFiles;
  if (!FetchServerFiles(url, publicKey, serverFiles)) return 0;
  if (!installation.Lock()) return 0;
  const bool anyNewer = MarkNewerFiles(list, serverFiles, waitApp);
  installation.Unlock();
  if (!anyNewer) return 0;
  out = list;
  return 1;
}

KORVAN_API std::int32_t KORVAN_CALL XCheckForUpdates(const char16_t* url, const char16_t* waitApp,
                                                     const char16_t* files) {
  return LoggingErrors(0, [&] { return CheckForUpdates(url, waitApp, files); });
}
