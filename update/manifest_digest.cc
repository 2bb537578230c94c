// Checking a download against the "sha256" of its manifest record, so that a
// substituted file, or one cut short where the transfer could not tell, is
// never put in place.
#include <cctype>

#include "crypto/crypto.h"
#include "platform/file_system.h"
#include "update/update.h"

std::string ManifestDigestText(const TFileInfo& file) {
  std::string text = file.sha256;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::int32_t CompareWithManifest(const TFileInfo& file, const std::string& path,
                                 std::string* responseText) {
  if (file.sha256.empty()) return 0;
  std::string digest;
  if (!crypto::Sha256OfFile(path, &digest)) {
    *responseText = "The downloaded file could not be read to compare it with the manifest.";
  } else {
    const std::string actual = crypto::ToHex(digest);
    if (actual == ManifestDigestText(file)) return 0;
    *responseText = "The file does not match the manifest: its SHA-256 is " + actual +
                    ", the manifest says " + file.sha256 + ".";
  }
  platform::RemovePath(path);
  return kManifestMismatchError;
}
