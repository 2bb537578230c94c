// Reading a manifest only when its minisign signature from the vendor's key
// vouches for it, and only while its times allow it.
#include "update/signed_manifest.h"

#include <cstdint>
#include <string>

#include "log/common_log.h"
#include "platform/dialogs.h"
#include "update/update.h"
#include "update/update_observer.h"

namespace {

const char kBoxCaption[] = "Updater Files";
constexpr unsigned kBoxStyle = platform::kBoxOk | platform::kBoxIconWarning;

// Why the signature beside the manifest on the server cannot be had; empty
// when `signature` holds it.
std::string DownloadSignature(const std::string& url, const std::string& directory,
                              IUpdateObserver* observer, std::string* signature) {
  TemporaryFile signatureFile(platform::CreateTemporaryFile(directory, "upd"));
  std::uint32_t received = 0;
  std::string responseText;
  const std::int32_t result =
      DownloadTryingAgain(&received, &responseText, url + "/" + "updateinfo.txt.minisig",
                          signatureFile.path(), observer);
  if (result != 0) {
    std::string reason = GetErrorText(result);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    return "updateinfo.txt.minisig could not be downloaded. Error code: " + std::to_string(result) +
           " (" + reason + ")";
  }
  if (!ReadFileUpTo(signatureFile.path(), kMaxSignatureSize, signature)) {
    return "updateinfo.txt.minisig is larger than " + std::to_string(kMaxSignatureSize / 1024) +
           " KiB or cannot be read";
  }
  return std::string();
}

}  // namespace

bool ReadSignedManifest(const std::string& publicKey, const std::string& url,
                        const std::string& directory, TemporaryFile& manifestFile,
                        std::string* manifest, ICommonLog* log, IUpdateObserver* observer) {
  std::string bytes;
  std::string refusal;
  if (!ReadFileUpTo(manifestFile.path(), kMaxSignedManifestSize, &bytes)) {
    refusal = "updateinfo.txt is larger than " +
              std::to_string(kMaxSignedManifestSize / 1024 / 1024) + " MiB or cannot be read";
  }
  // Gone before any box, as on a failed download.
  manifestFile.Remove();
  std::string signature;
  if (refusal.empty()) refusal = DownloadSignature(url, directory, observer, &signature);
  // The user who cancelled knows why nothing follows.
  if (observer != nullptr && observer->Cancelled()) return false;
  std::string trustedComment;
  if (refusal.empty())
    refusal = CheckMinisignSignature(publicKey, signature, bytes, &trustedComment);
  bool expired = false;
  if (refusal.empty()) {
    refusal = CheckReleaseTimes(url, MinisignKeyId(publicKey), trustedComment, &expired);
  }
  if (!refusal.empty()) {
    if (log) log->Write(kLogLevel, "Manifest refused: %s", refusal.c_str());
    if (observer != nullptr) observer->Finished();
    // An expired release waits for the vendor, not for a better moment.
    platform::ShowMessageBox(
        expired ? "Error verifying updateinfo: " + refusal +
                      ". Please tell the vendor of this program; until then nothing is updated."
                : "Error verifying updateinfo: " + refusal + ". Try to update later.",
        kBoxCaption, kBoxStyle);
    return false;
  }
  if (log) log->Write(kLogLevel, "Manifest signature verified: %s", trustedComment.c_str());
  // Read as an unsigned manifest is: up to its first zero byte.
  *manifest = bytes.c_str();
  return true;
}
