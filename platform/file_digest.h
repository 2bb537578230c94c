// The size and digests of a file's bytes, computed by the system's own
// cryptography (OpenSSL's libcrypto on POSIX, BCrypt on Windows). Used by the
// publisher alone: the updater library does not link it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct FileDigests {
  std::uint64_t size = 0;
  std::string sha1;    // 40 lower-case hexadecimal digits
  std::string sha256;  // 64 lower-case hexadecimal digits
};

// Reads the file at `path` once and fills `digests`. Returns 0, or the
// system's error number when the file cannot be read (or a digest cannot be
// computed: then -1).
int DigestFile(const std::string& path, FileDigests* digests);

}  // namespace platform
