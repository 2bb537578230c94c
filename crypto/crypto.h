// The cryptography the updater relies on: digests, signature checks and the
// base64 of keys and signatures. All of it is libsodium's; nothing here is
// hand-written crypto. Bytes travel in std::string.
#pragma once

#include <cstddef>
#include <string>

namespace crypto {

constexpr std::size_t kSha256Size = 32;
constexpr std::size_t kBlake2b512Size = 64;
constexpr std::size_t kEd25519PublicKeySize = 32;
constexpr std::size_t kEd25519SignatureSize = 64;

// The SHA-256 of the whole file; false when it cannot be opened or read.
bool Sha256OfFile(const std::string& path, std::string* digest);

// The unkeyed BLAKE2b hash of `message`, 64 bytes long.
std::string Blake2b512(const std::string& message);

// Whether `signature` is a valid Ed25519 signature of `message` by
// `publicKey`; false for any size other than the two constants above.
bool VerifyEd25519(const std::string& signature, const std::string& message,
                   const std::string& publicKey);

// Standard base64 with padding, the whole text and nothing else; false for
// anything else.
bool DecodeBase64(const std::string& text, std::string* bytes);

// Lowercase hexadecimal digits, two per byte.
std::string ToHex(const std::string& bytes);

}  // namespace crypto
