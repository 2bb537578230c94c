// Putting back a listed file that an update cut off between its two moves
// left only under its ".old" name.
#include "log/common_log.h"
#include "platform/file_system.h"
#include "platform/installation_lock.h"
#include "platform/path.h"
#include "platform/system_error.h"
#include "update/update.h"

std::string FileErrorText(int code) {
  std::string text = platform::SystemErrorText(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text.empty() ? std::string("Unknown error") : text;
}

bool RestorePreviousFile(const std::string& oldPath, const std::string& targetPath, ICommonLog* log,
                         bool overAnyFile) {
  const int error = overAnyFile ? platform::MovePathReplacing(oldPath, targetPath)
                                : platform::MovePathNoReplace(oldPath, targetPath);
  if (log == nullptr) return error == 0;
  if (error != 0) {
    log->Write(kLogLevel, "Error restore previous file: %s\n\tfrom: %s\n\tto: %s",
               FileErrorText(error).c_str(), oldPath.c_str(), targetPath.c_str());
  } else {
    log->Write(kLogLevel, "Previous file restored:\n\t%s\n\tto\n\t%s", oldPath.c_str(),
               targetPath.c_str());
  }
  return error == 0;
}

bool NeedsRestoring(const std::string& targetPath) {
  int error = 0;
  // Only a file that is surely missing, never one that cannot be queried.
  if (platform::QueryPath(targetPath, &error) != platform::PathPresence::kAbsent) return false;
  const std::string oldPath = targetPath + ".old";
  return platform::QueryPath(oldPath, &error) == platform::PathPresence::kPresent &&
         !platform::IsDirectory(oldPath);
}

bool HasFilePart(const TFileInfo& file) { return !ExtractFileName(file.name).empty(); }

void RestoreMissingFiles(const std::string& baseDirectory, const TFileInfoList& files) {
  for (const TFileInfo& file : files) {
    // A nameless record names the installation's folder itself.
    if (!HasFilePart(file)) continue;
    const std::string targetPath = baseDirectory + file.name;
    if (NeedsRestoring(targetPath))
      RestorePreviousFile(targetPath + ".old", targetPath, g_log.get());
  }
}

std::string InstallationFolder(const std::string& waitApp) {
  const std::string directory = platform::DirectoryOf(waitApp);
  return directory.empty() ? directory : directory.substr(0, directory.size() - 1);
}

bool TakeInstallationLock(platform::InstallationLock& lock, bool wait, ICommonLog* log) {
  platform::LockResult result = lock.TryAcquire();
  if (result == platform::LockResult::kBusy) {
    if (!wait) return false;
    if (log != nullptr) {
      log->Write(kLogLevel, "Another update of this installation is under way, waiting for it: %s",
                 lock.directory().c_str());
    }
    result = lock.Acquire(UpdateWaitBound());
    if (result == platform::LockResult::kBusy) {
      if (log != nullptr) {
        log->Write(kLogLevel,
                   "Another update of this installation did not end within %s: this run gives up "
                   "and changes nothing: %s",
                   UpdateWaitBoundText().c_str(), lock.directory().c_str());
      }
      return false;
    }
  }
  int error = 0;
  // A folder that is not there holds nothing to protect.
  if (result == platform::LockResult::kUnavailable && log != nullptr &&
      platform::QueryPath(lock.directory(), &error) != platform::PathPresence::kAbsent) {
    log->Write(kLogLevel, "Installation not locked: %s\n\t%s", lock.directory().c_str(),
               FileErrorText(lock.error()).c_str());
  }
  return true;
}
