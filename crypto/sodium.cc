// The crypto interface on libsodium.
#include <sodium.h>

#include <cstdio>
#include <vector>

#include "crypto/crypto.h"

namespace crypto {

namespace {

// libsodium wants to be initialised before use. It is idempotent and safe to
// call from several threads; a failure only means that no faster
// implementation was chosen, which none of the functions used here needs.
void EnsureInitialised() {
  static const int initialised = sodium_init();
  (void)initialised;
}

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

bool Sha256OfFile(const std::string& path, std::string* digest) {
  EnsureInitialised();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  // Large reads keep the hashing of a big program short.
  std::vector<unsigned char> buffer(1 << 16);
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    crypto_hash_sha256_update(&state, buffer.data(), count);
  }
  const bool complete = std::ferror(file) == 0;
  std::fclose(file);
  if (!complete) return false;
  unsigned char out[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, out);
  digest->assign(reinterpret_cast<const char*>(out), sizeof out);
  return true;
}

std::string Blake2b512(const std::string& message) {
  EnsureInitialised();
  static_assert(kBlake2b512Size <= crypto_generichash_BYTES_MAX, "BLAKE2b-512 is available");
  unsigned char out[kBlake2b512Size];
  crypto_generichash(out, sizeof out, Bytes(message), message.size(), nullptr, 0);
  return std::string(reinterpret_cast<const char*>(out), sizeof out);
}

bool VerifyEd25519(const std::string& signature, const std::string& message,
                   const std::string& publicKey) {
  EnsureInitialised();
  static_assert(kEd25519SignatureSize == crypto_sign_BYTES, "Ed25519 signature size");
  static_assert(kEd25519PublicKeySize == crypto_sign_PUBLICKEYBYTES, "Ed25519 key size");
  if (signature.size() != kEd25519SignatureSize || publicKey.size() != kEd25519PublicKeySize) {
    return false;
  }
  return crypto_sign_verify_detached(Bytes(signature), Bytes(message), message.size(),
                                     Bytes(publicKey)) == 0;
}

bool DecodeBase64(const std::string& text, std::string* bytes) {
  EnsureInitialised();
  // Base64 never decodes to more bytes than three quarters of its length.
  std::vector<unsigned char> out(text.size() / 4 * 3 + 3);
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(out.data(), out.size(), text.c_str(), text.size(), nullptr, &length, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.c_str() + text.size()) {
    return false;
  }
  bytes->assign(reinterpret_cast<const char*>(out.data()), length);
  return true;
}

std::string ToHex(const std::string& bytes) {
  std::string hex(bytes.size() * 2 + 1, '\0');
  sodium_bin2hex(&hex[0], hex.size(), Bytes(bytes), bytes.size());
  hex.pop_back();
  return hex;
}

}  // namespace crypto
