#include "platform/file_digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace platform {
namespace {

// One hash object of the system's provider for `algorithm`.
class Hash {
 public:
  explicit Hash(LPCWSTR algorithm) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&provider_, algorithm, nullptr, 0))) {
      provider_ = nullptr;
      return;
    }
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider_, &hash_, nullptr, 0, nullptr, 0, 0))) {
      hash_ = nullptr;
    }
  }
  ~Hash() {
    if (hash_ != nullptr) BCryptDestroyHash(hash_);
    if (provider_ != nullptr) BCryptCloseAlgorithmProvider(provider_, 0);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  bool ok() const { return hash_ != nullptr; }
  bool Add(std::vector<unsigned char>& bytes, ULONG count) {
    return BCRYPT_SUCCESS(BCryptHashData(hash_, bytes.data(), count, 0));
  }
  bool Finish(std::string* hex) {
    DWORD length = 0;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(BCryptGetProperty(hash_, BCRYPT_HASH_LENGTH,
                                          reinterpret_cast<PUCHAR>(&length), sizeof length,
                                          &written, 0))) {
      return false;
    }
    std::vector<unsigned char> digest(length);
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest.data(), length, 0))) return false;
    static const char kDigits[] = "0123456789abcdef";
    hex->clear();
    for (unsigned char byte : digest) {
      *hex += kDigits[byte >> 4];
      *hex += kDigits[byte & 0x0F];
    }
    return true;
  }

 private:
  BCRYPT_ALG_HANDLE provider_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

int DigestFile(const std::string& path, FileDigests* digests) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());

  Hash sha1(BCRYPT_SHA1_ALGORITHM);
  Hash sha256(BCRYPT_SHA256_ALGORITHM);
  int error = sha1.ok() && sha256.ok() ? 0 : -1;
  std::vector<unsigned char> buffer(256 * 1024);
  std::uint64_t size = 0;
  while (error == 0) {
    DWORD count = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr)) {
      error = static_cast<int>(GetLastError());
      break;
    }
    if (count == 0) break;
    if (!sha1.Add(buffer, count) || !sha256.Add(buffer, count)) error = -1;
    size += count;
  }
  CloseHandle(file);
  if (error != 0) return error;

  FileDigests result;
  result.size = size;
  if (!sha1.Finish(&result.sha1) || !sha256.Finish(&result.sha256)) return -1;
  *digests = result;
  return 0;
}

}  // namespace platform
