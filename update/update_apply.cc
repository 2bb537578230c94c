// ApplyUpdates: downloads each marked file beside the installed one and swaps
// it in through the ".new" and ".old" names.
#include <algorithm>
#include <atomic>
#include <exception>
#include <stdexcept>

#include "log/common_log.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/system_error.h"
#include "update/apply_testing.h"
#include "update/fault_points.h"
#include "update/update.h"
#include "update/update_observer.h"

namespace {

std::atomic<SwapHookForTesting> g_swapHook{nullptr};

// A file-system query failed for a reason other than absence: the apply
// stops and reports -1.
struct QueryFailed {};

bool Exists(const std::string& path) {
  int error = 0;
  switch (platform::QueryPath(path, &error)) {
    case platform::PathPresence::kPresent:
      return true;
    case platform::PathPresence::kAbsent:
      return false;
    case platform::PathPresence::kUnknown:
      break;
  }
  throw QueryFailed{};
}

// Moves the download into the target's place once the target was moved
// aside (or was not there); false, with the reason logged, when it cannot.
bool MoveDownloadIntoPlace(const std::string& newPath, const std::string& targetPath,
                           const std::string& oldPath, bool movedAside) {
  if (SwapHookForTesting hook = g_swapHook.load()) hook(newPath, targetPath);
  if (!Exists(newPath)) {
    g_log->Write(kLogLevel, "Can't find file: %s", newPath.c_str());
    return false;
  }
  g_log->Write(kLogLevel, "Prepare to rename file:\n\t%s\n\tto\n\t%s", newPath.c_str(),
               targetPath.c_str());
  // A downloaded program must stay runnable where permissions say so.
  platform::AdoptPermissions(movedAside ? oldPath : targetPath, newPath);
  const int error = platform::MovePathReplacing(newPath, targetPath);
  if (error != 0) {
    // Kept verbatim, two blanks after "=" included: vendors' tools read it.
    const std::string message = "Error renaming " + newPath + " file to " + targetPath +
                                ". Error code =  " + std::to_string(error) +
                                ". File was not updated. Try to load setup file from site";
    g_log->Write(kLogLevel, "Error rename file:\n\t%s\n\tto\n\t%s", newPath.c_str(),
                 targetPath.c_str());
    g_log->Write(kLogLevel, "%s", message.c_str());
    // The download stays under the new path for the next attempt.
    return false;
  }
  return true;
}

// One marked file: download it beside the installed one as ".new", move the
// installed one aside as ".old", move the download into place and remove the
// ".old" copy; true when the download was put in place. `cancelled` is set
// when the observer stopped it before the swap.
bool UpdateOneFile(const std::string& url, const std::string& baseDirectory, const TFileInfo& file,
                   IUpdateObserver* observer, bool* cancelled) {
  const std::string filePart = ExtractFileName(file.name);
  const std::string address = url + "/" + filePart;
  const std::string targetPath = baseDirectory + file.name;
  const std::string newPath = targetPath + ".new";
  // A nameless record would download the server's folder page and swap it in
  // for the installation's own folder.
  if (!HasFilePart(file)) {
    g_log->Write(kLogLevel, "Skipped a record whose name has no file part: \"%s\"",
                 file.name.c_str());
    return false;
  }
  if (platform::IsDirectory(targetPath)) {
    g_log->Write(kLogLevel, "Skipped a record whose target is a folder: %s", targetPath.c_str());
    return false;
  }

  g_log->Write(kLogLevel, "Start download file:\n\tfrom: %s\n\tto: %s", address.c_str(),
               newPath.c_str());
  // The download drops the address from the internet cache before it asks.
  std::uint32_t received = 0;
  std::string responseText;
  std::int32_t result = DownloadTryingAgain(&received, &responseText, address, newPath, observer);
  // A cancel before the swap leaves no ".new": a stopped download removed
  // its own, a finished one is not wanted any more.
  if (result == platform::kCancelledError || (observer != nullptr && observer->Cancelled())) {
    if (Exists(newPath)) platform::RemovePath(newPath);
    *cancelled = true;
    return false;
  }
  if (result == 0) result = CompareWithManifest(file, newPath, &responseText);
  if (result != 0) {
    // Kept verbatim, two blanks after "=" included: vendors' tools read it.
    const std::string message =
        "Error updating " + newPath + " file. Error code =  " + std::to_string(result) +
        ". Error message = " + responseText + " Try to launch terminal with administrators rights.";
    g_log->Write(kLogLevel, "%s", message.c_str());
    return false;
  }
  KORVAN_FAULT_POINT("downloaded");
  // The data is on disk before its name is: a power cut after the swap must
  // not leave an empty or zero-filled program.
  const int flushError = platform::FlushFileToDisk(newPath);
  if (flushError != 0) {
    g_log->Write(kLogLevel, "Error updating %s file. Error code =  %d. Error message = %s",
                 newPath.c_str(), flushError, FileErrorText(flushError).c_str());
    return false;
  }
  KORVAN_FAULT_POINT("flushed");
  if (observer != nullptr) observer->Installing(filePart);

  const std::string oldPath = targetPath + ".old";
  // A leftover ".old" is the only copy when the file itself is missing (an
  // update cut off between its moves that no repair has reached): it stays,
  // and the swap below keeps it by moving nothing aside.
  if (Exists(oldPath) && Exists(targetPath)) {
    const int error = platform::RemovePath(oldPath);
    if (error == 0) {
      // "Successfuly" kept verbatim: vendors' tools search logs for it.
      g_log->Write(kLogLevel, "Successfuly remove old file: %s", oldPath.c_str());
    } else {
      g_log->Write(kLogLevel, "Error remove file: %s", FileErrorText(error).c_str());
      // Windows keeps a loaded library's file: after an update of the
      // updater itself the terminal still runs the copy under ".old" until
      // it restarts. Neither can the installed file be moved aside onto it,
      // nor replaced while the companion has it loaded, so the swap would
      // only fail at every check without saying why.
      g_log->Write(kLogLevel,
                   "Error updating %s: its previous copy %s cannot be removed (%s); a program, "
                   "such as the terminal after an earlier update of this file, may still have it "
                   "loaded. Restart the terminal and update again",
                   targetPath.c_str(), oldPath.c_str(), FileErrorText(error).c_str());
      return false;
    }
    KORVAN_FAULT_POINT("leftover-removed");
  }

  const bool movedAside = platform::MovePathReplacing(targetPath, oldPath) == 0;
  // Whatever stops the swap now, the log's own lines included, the previous
  // file goes back into place.
  bool installed = false;
  try {
    if (!movedAside) {
      g_log->Write(kLogLevel, "Error rename file:\n\t%s\n\tto\n\t%s", targetPath.c_str(),
                   oldPath.c_str());
    } else {
      g_log->Write(kLogLevel, "Success rename\n\t%s\n\tto\n\t%s", targetPath.c_str(),
                   oldPath.c_str());
    }
    KORVAN_FAULT_POINT("moved-aside");
    installed = MoveDownloadIntoPlace(newPath, targetPath, oldPath, movedAside);
  } catch (...) {
    if (movedAside) RestorePreviousFile(oldPath, targetPath, g_log.get(), /*overAnyFile=*/true);
    throw;
  }
  if (!installed) {
    if (movedAside) RestorePreviousFile(oldPath, targetPath, g_log.get(), /*overAnyFile=*/true);
    return false;
  }
  KORVAN_FAULT_POINT("moved-in");

  if (Exists(oldPath)) {
    const int removeError = platform::RemovePath(oldPath);
    if (removeError != 0) {
      g_log->Write(kLogLevel, "Error remove file after update: %s\n\tfile: %s",
                   FileErrorText(removeError).c_str(), oldPath.c_str());
    }
  }
  // Remembered last: the record never names bytes that are not in place,
  // and an update cut off before this point installs the file again.
  RememberInstalledFile(targetPath, file);
  KORVAN_FAULT_POINT("done");
  return true;
}

}  // namespace

void SetSwapHookForTesting(SwapHookForTesting hook) { g_swapHook.store(hook); }

std::int32_t ApplyUpdates(std::string url, std::string waitApp, TFileInfoList files,
                          IUpdateObserver* observer) {
  // Without its separator: the listed names bring their own.
  const std::string baseDirectory = InstallationFolder(waitApp);
  if (baseDirectory.empty() && platform::DirectoryOf(waitApp).empty()) {
    throw std::invalid_argument("no directory in the application path " + waitApp);
  }
  g_log->Write(kLogLevel, "download save path: %s", baseDirectory.c_str());

  std::int32_t updated = 0;
  const int count = static_cast<int>(
      std::count_if(files.begin(), files.end(), [](const TFileInfo& f) { return f.needsUpdate; }));
  int index = 0;
  bool cancelled = false;
  try {
    for (const TFileInfo& file : files) {
      if (!file.needsUpdate) continue;
      // Each file is its own step: a cancel between two keeps the first.
      if (observer != nullptr && observer->Cancelled()) {
        cancelled = true;
        break;
      }
      if (observer != nullptr) observer->Downloading(ExtractFileName(file.name), ++index, count);
      if (UpdateOneFile(url, baseDirectory, file, observer, &cancelled)) ++updated;
      if (cancelled) break;
    }
  } catch (const QueryFailed&) {
    return -1;
  } catch (const std::exception& error) {
    // Out of memory, say: the records after this one are left alone, and
    // the log says why, if it still can.
    try {
      g_log->Write(kLogLevel, "Error when perform update: %s", error.what());
    } catch (...) {
    }
    return -1;
  }
  if (cancelled) {
    LogUpdateCancelled(updated);
    return kUpdateCancelled;
  }
  return updated;
}
