// The installation of an update run, locked only while its files are
// repaired, compared or moved.
#include "host/host.h"
#include "host/update_runs.h"
#include "log/common_log.h"
#include "platform/file_system.h"

InstallationAccess::InstallationAccess(const std::string& waitApp)
    : folder_(InstallationFolder(ReplaceAll(waitApp, "/", platform::kPreferredSeparator))),
      lock_(folder_) {}

bool InstallationAccess::Lock() {
  // A path without a folder names no installation to protect.
  return folder_.empty() || TakeInstallationLock(lock_, /*wait=*/true, g_log.get());
}

void InstallationAccess::Unlock() { lock_.Release(); }

bool InstallationAccess::Repair(const TFileInfoList& files) {
  if (!Lock()) return false;
  if (!folder_.empty()) RestoreMissingFiles(folder_, files);
  Unlock();
  return true;
}
