#include "platform/file_digest.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace platform {
namespace {

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Hex(const unsigned char* bytes, unsigned int count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool Finish(EVP_MD_CTX* context, std::string* hex) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1) return false;
  *hex = Hex(digest, length);
  return true;
}

}  // namespace

int DigestFile(const std::string& path, FileDigests* digests) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return errno;

  DigestContext sha1(EVP_MD_CTX_new());
  DigestContext sha256(EVP_MD_CTX_new());
  if (!sha1 || !sha256 || EVP_DigestInit_ex(sha1.get(), EVP_sha1(), nullptr) != 1 ||
      EVP_DigestInit_ex(sha256.get(), EVP_sha256(), nullptr) != 1) {
    return -1;
  }
  std::vector<unsigned char> buffer(256 * 1024);
  std::uint64_t size = 0;
  for (;;) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (count > 0) {
      if (EVP_DigestUpdate(sha1.get(), buffer.data(), count) != 1 ||
          EVP_DigestUpdate(sha256.get(), buffer.data(), count) != 1) {
        return -1;
      }
      size += count;
    }
    if (count < buffer.size()) break;
  }
  if (std::ferror(file.get())) return errno != 0 ? errno : EIO;

  FileDigests result;
  result.size = size;
  if (!Finish(sha1.get(), &result.sha1) || !Finish(sha256.get(), &result.sha256)) return -1;
  *digests = result;
  return 0;
}

}  // namespace platform
