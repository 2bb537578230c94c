// Checking a manifest against its minisign signature.
//
// A minisign public key is the base64 of "Ed", an 8-byte key id and the
// 32-byte Ed25519 key. A signature file has four lines: an untrusted comment,
// the base64 of the algorithm ("Ed": Ed25519 over the file, "ED": over its
// BLAKE2b-512 hash), the key id and the 64-byte signature, then the trusted
// comment, and the base64 of the 64-byte Ed25519 signature of the file's
// signature followed by the trusted comment's text. The trusted comment is
// signed so that nobody can pass an old signature off with a new comment.
//
// Only "ED" is accepted. The global signature does not cover the algorithm,
// so an "ED" signature of any file relabelled "Ed" would verify over that
// file's 64-byte hash; minisign and korvan-publish sign "ED" anyway.
#include <string>
#include <vector>

#include "crypto/crypto.h"
#include "update/update.h"

namespace {

constexpr std::size_t kAlgorithmSize = 2;
constexpr std::size_t kKeyIdSize = 8;
const char kUntrustedPrefix[] = "untrusted comment: ";
const char kTrustedPrefix[] = "trusted comment: ";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The lines of a text file, with a CR before each LF dropped: a signature
// that passed through a Windows editor still reads.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Blanks and line ends around a key copied from a file or a program's source.
std::string Trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The key id as minisign prints it: the 64-bit number it stores little-endian,
// in uppercase hexadecimal.
std::string KeyIdText(const std::string& keyId) {
  std::string hex = crypto::ToHex(std::string(keyId.rbegin(), keyId.rend()));
  for (char& c : hex) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return hex;
}

// The decoded bytes of a minisign public key; false when the text is none.
bool DecodePublicKey(const std::string& publicKey, std::string* key) {
  return crypto::DecodeBase64(Trimmed(publicKey), key) &&
         key->size() == kAlgorithmSize + kKeyIdSize + crypto::kEd25519PublicKeySize &&
         key->compare(0, kAlgorithmSize, "Ed") == 0;
}

}  // namespace

std::string MinisignKeyId(const std::string& publicKey) {
  std::string key;
  if (!DecodePublicKey(publicKey, &key)) return std::string();
  return KeyIdText(key.substr(kAlgorithmSize, kKeyIdSize));
}

std::string CheckMinisignSignature(const std::string& publicKey, const std::string& signatureFile,
                                   const std::string& message, std::string* trustedComment) {
  std::string key;
  if (!DecodePublicKey(publicKey, &key)) return "the public key is not a minisign public key";
  const std::string keyId = key.substr(kAlgorithmSize, kKeyIdSize);
  const std::string keyBytes = key.substr(kAlgorithmSize + kKeyIdSize);

  const std::vector<std::string> lines = Lines(signatureFile);
  std::string signature, globalSignature;
  if (lines.size() < 4 || !StartsWith(lines[0], kUntrustedPrefix) ||
      !crypto::DecodeBase64(lines[1], &signature) ||
      signature.size() != kAlgorithmSize + kKeyIdSize + crypto::kEd25519SignatureSize ||
      !StartsWith(lines[2], kTrustedPrefix) || !crypto::DecodeBase64(lines[3], &globalSignature)) {
    return "updateinfo.txt.minisig is not a minisign signature";
  }
  for (std::size_t i = 4; i < lines.size(); ++i) {
    if (!lines[i].empty()) return "updateinfo.txt.minisig is not a minisign signature";
  }
  const std::string algorithm = signature.substr(0, kAlgorithmSize);
  if (algorithm == "Ed") {
    return "updateinfo.txt.minisig is a legacy signature (\"Ed\"); only prehashed ones (\"ED\") "
           "are accepted";
  }
  if (algorithm != "ED") return "updateinfo.txt.minisig uses an unknown algorithm";
  const std::string signatureKeyId = signature.substr(kAlgorithmSize, kKeyIdSize);
  if (signatureKeyId != keyId) {
    return "updateinfo.txt.minisig was made with another key (key id " + KeyIdText(signatureKeyId) +
           ", expected " + KeyIdText(keyId) + ")";
  }
  const std::string fileSignature = signature.substr(kAlgorithmSize + kKeyIdSize);
  if (!crypto::VerifyEd25519(fileSignature, crypto::Blake2b512(message), keyBytes)) {
    return "the signature does not match updateinfo.txt";
  }
  const std::string comment = lines[2].substr(sizeof kTrustedPrefix - 1);
  if (!crypto::VerifyEd25519(globalSignature, fileSignature + comment, keyBytes)) {
    return "the trusted comment's signature does not verify";
  }
  *trustedComment = comment;
  return std::string();
}
