#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "log/common_log.h"
#include "platform/dialogs.h"
#include "platform/system_error.h"
#include "platform/temp_files.h"
#include "update/signed_manifest.h"
#include "update/update.h"
#include "update/update_observer.h"

namespace {

const char kBoxCaption[] = "Updater Files";
constexpr unsigned kBoxStyle = platform::kBoxOk | platform::kBoxIconWarning;

// Makes sure the temporary directory exists; a missing folder above it is
// shown to the user, who may be able to help, and the check goes on.
void PrepareTemporaryDirectory(const std::string& directory, ICommonLog* log) {
  const int error = platform::MakeDirectory(directory);
  if (error == 0) return;
  if (error == platform::kErrorPathNotFound) {
    platform::ShowMessageBox("Path " + directory + " not exists", kBoxCaption, kBoxStyle);
  } else if (log != nullptr) {
    log->Write(kLogLevel, "Create directory: %s, already exist", directory.c_str());
  }
}

std::string DownloadFailureText(std::int32_t result, std::int32_t lastError,
                                const std::string& responseText) {
  // "latter" kept verbatim: users and vendors' tools know the text as it is.
  std::string text = "Error downloading updateinfo. Try to update latter. Error code: ";
  text += std::to_string(result);
  text += " (";
  text += GetErrorText(result);
  text += ") Last err: ";
  text += std::to_string(lastError);
  text += " (";
  text += GetErrorText(lastError);
  text += ") Err message = ";
  text += responseText;
  return text;
}

bool IsWellFormedDigest(const std::string& sha256) {
  return sha256.size() == 64 &&
         sha256.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// A signature vouches for a file's bytes only through its digest: an entry
// without one would install whatever the server sends.
void DropEntriesWithoutDigest(TFileInfoList& serverFiles, ICommonLog* log) {
  TFileInfoList kept;
  for (TFileInfo& server : serverFiles) {
    if (IsWellFormedDigest(server.sha256)) {
      kept.push_back(std::move(server));
    } else if (log) {
      log->Write(kLogLevel,
                 "Server file %s refused: a signed manifest must give its \"sha256\" as 64 "
                 "hexadecimal digits",
                 server.name.c_str());
    }
  }
  serverFiles.swap(kept);
}

}  // namespace

bool CheckUpdates(TFileInfoList& localFiles, std::string url, const std::string& waitApp,
                  const std::optional<std::string>& publicKey) {
  TFileInfoList serverFiles;
  if (!FetchServerFiles(url, publicKey, serverFiles)) return false;
  return MarkNewerFiles(localFiles, serverFiles, waitApp);
}

bool FetchServerFiles(const std::string& url, const std::optional<std::string>& publicKey,
                      TFileInfoList& serverFiles, IUpdateObserver* observer) {
  const std::shared_ptr<ICommonLog> log = g_log;

  const std::string directory = platform::TemporaryDirectory();
  PrepareTemporaryDirectory(directory, log.get());
  // When no file can be made the path stays empty and the download fails.
  TemporaryFile manifestFile(platform::CreateTemporaryFile(directory, "upd"));
  const std::string manifestPath = manifestFile.path();
  // The separator is always added, also after an address that ends in one.
  const std::string manifestUrl = url + "/" + "updateinfo.txt";

  std::uint32_t received = 0;
  std::string responseText;
  if (observer != nullptr) observer->Downloading("updateinfo.txt", 0, 0);
  const std::int32_t result =
      DownloadTryingAgain(&received, &responseText, manifestUrl, manifestPath, observer);
  if (result != 0) {
    const std::int32_t lastError = platform::LastError();
    // Gone before the box: while the user reads, another check may be given
    // the same temporary name.
    manifestFile.Remove();
    // The user who cancelled knows why nothing follows.
    if (result == platform::kCancelledError) return false;
    if (observer != nullptr) observer->Finished();
    platform::ShowMessageBox(DownloadFailureText(result, lastError, responseText), kBoxCaption,
                             kBoxStyle);
    return false;
  }

  std::string manifest;
  if (!publicKey) {
    manifest = ReadTextFile(manifestPath);
    manifestFile.Remove();
  } else if (!ReadSignedManifest(*publicKey, url, directory, manifestFile, &manifest, log.get(),
                                 observer)) {
    return false;
  }
  ParseFileInfoList(serverFiles, manifest);
  if (publicKey) DropEntriesWithoutDigest(serverFiles, log.get());
  return true;
}

bool MarkNewerFiles(TFileInfoList& localFiles, const TFileInfoList& serverFiles,
                    const std::string& waitApp) {
  const std::shared_ptr<ICommonLog> log = g_log;
  if (log) log->Write(kLogLevel, "Check versions of local files...");
  bool anyNewer = false;
  for (TFileInfo& local : localFiles) {
    if (!GetLocalFileVersion(local, waitApp)) RaiseToInstalledVersion(local, waitApp);
    local.needsUpdate = false;
    // The digest the apply checks is the one of the newest entry that marks.
    local.sha256.clear();
    const TFileInfo* newest = nullptr;
    const std::string baseName = ExtractFileName(local.name);
    if (log) {
      log->Write(kLogLevel, "Check local file %s v%d.%d.%d...", baseName.c_str(), local.version,
                 local.release, local.build);
    }
    // Every entry of that name is logged and compared: a later one may be the
    // newer.
    for (const TFileInfo& server : serverFiles) {
      if (server.name != baseName) continue;
      if (log) {
        log->Write(kLogLevel, "Server file version %s v%d.%d.%d", server.name.c_str(),
                   server.version, server.release, server.build);
      }
      if (IsNewerVersion(server, local)) {
        local.needsUpdate = true;
        anyNewer = true;
        if (newest == nullptr || IsNewerVersion(server, *newest)) newest = &server;
      }
    }
    if (newest != nullptr) {
      local.sha256 = newest->sha256;
      local.offeredVersion = newest->version;
      local.offeredRelease = newest->release;
      local.offeredBuild = newest->build;
    }
  }
  return anyNewer;
}
