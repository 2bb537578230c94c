// Signing the manifest with the vendor's minisign key.
#include "platform/file_system.h"
#include "platform/process.h"
#include "publisher/publisher.h"

namespace publisher {

std::string TrustedCommentExpiring(std::int64_t now, std::int32_t days) {
  // Minisign's own fields first, separated by tabs as minisign writes them.
  return "timestamp:" + std::to_string(now) + "\tfile:" + kManifestName +
         "\thashed\texpires:" + std::to_string(now + std::int64_t{days} * 24 * 60 * 60);
}

bool SignManifest(const std::string& minisign, const std::string& secretKeyFile,
                  const std::string& manifest, const std::string& trustedComment,
                  std::string* error) {
  // A signature of the previous manifest must not stay beside the new one
  // when signing fails: it could never verify.
  const std::string signature = manifest + ".minisig";
  platform::RemovePath(signature);
  // minisign asks for the key's password on this terminal when it has one.
  std::string parameters =
      "-S -s \"" + secretKeyFile + "\" -m \"" + manifest + "\" -x \"" + signature + "\"";
  if (!trustedComment.empty()) parameters += " -t \"" + trustedComment + "\"";
  std::int32_t exitCode = -1;
  if (!platform::StartProgramAndWait(minisign, parameters, &exitCode)) {
    *error = "cannot start " + minisign;
    return false;
  }
  if (exitCode != 0) {
    *error = "minisign failed with exit code " + std::to_string(exitCode);
    return false;
  }
  return true;
}

}  // namespace publisher
