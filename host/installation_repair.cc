// Repairs before a run relies on the listed files.
#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/file_system.h"
#include "platform/installation_lock.h"

void RestoreMissingFilesUnlessBusy(const std::string& waitApp, const TFileInfoList& files) {
  const std::string folder =
      InstallationFolder(ReplaceAll(waitApp, "/", platform::kPreferredSeparator));
  if (folder.empty()) return;
  platform::InstallationLock lock(folder);
  if (TakeInstallationLock(lock, /*wait=*/false, g_log.get())) RestoreMissingFiles(folder, files);
}
