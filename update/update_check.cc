#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "log/common_log.h"
#include "platform/dialogs.h"
#include "platform/system_error.h"
#include "platform/temp_files.h"
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

// A temporary file of the check, gone however the check ends, exceptions
// included.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() { Remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  void Remove() {
    // An empty path means no file was made.
    if (!path_.empty()) platform::RemoveFile(path_);
    path_.clear();
  }

 private:
  std::string path_;
};

// The whole file, zero bytes included: a signature covers every byte.
std::string ReadAllBytes(const std::string& path) {
  std::string bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
    std::fclose(file);
  }
  return bytes;
}

// Reads the manifest's `bytes` into `manifest` when the
// "updateinfo.txt.minisig" beside it on the server signs it with `publicKey`;
// otherwise shows why and returns false.
bool ReadSignedManifest(const std::string& publicKey, const std::string& url,
                        const std::string& directory, const std::string& bytes,
                        std::string* manifest, ICommonLog* log) {
  TemporaryFile signatureFile(platform::CreateTemporaryFile(directory, "upd"));
  const std::string signaturePath = signatureFile.path();
  std::uint32_t received = 0;
  std::string responseText;
  const std::int32_t result =
      DownloadFile(&received, &responseText, url + "/" + "updateinfo.txt.minisig", signaturePath);
  std::string refusal;
  std::string trustedComment;
  if (result != 0) {
    std::string reason = GetErrorText(result);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    refusal =
        "updateinfo.txt.minisig could not be downloaded. Error code: " + std::to_string(result) +
        " (" + reason + ")";
  } else {
    refusal =
        CheckMinisignSignature(publicKey, ReadAllBytes(signaturePath), bytes, &trustedComment);
  }
  signatureFile.Remove();
  if (!refusal.empty()) {
    if (log) log->Write(kLogLevel, "Manifest refused: %s", refusal.c_str());
    platform::ShowMessageBox("Error verifying updateinfo: " + refusal + ". Try to update later.",
                             kBoxCaption, kBoxStyle);
    return false;
  }
  if (log) log->Write(kLogLevel, "Manifest signature verified: %s", trustedComment.c_str());
  // Read as an unsigned manifest is: up to its first zero byte.
  *manifest = bytes.c_str();
  return true;
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
  } else {
    const std::string bytes = ReadAllBytes(manifestPath);
    // Gone before any box, as on a failed download.
    manifestFile.Remove();
    if (!ReadSignedManifest(*publicKey, url, directory, bytes, &manifest, log.get())) return false;
  }
  ParseFileInfoList(serverFiles, manifest);
  return true;
}

bool MarkNewerFiles(TFileInfoList& localFiles, const TFileInfoList& serverFiles,
                    const std::string& waitApp) {
  const std::shared_ptr<ICommonLog> log = g_log;
  if (log) log->Write(kLogLevel, "Check versions of local files...");
  bool anyNewer = false;
  for (TFileInfo& local : localFiles) {
    GetLocalFileVersion(local, waitApp);
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
    if (newest != nullptr) local.sha256 = newest->sha256;
  }
  return anyNewer;
}
