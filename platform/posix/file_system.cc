#include "platform/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

const char kTextModeLineEnd[] = "\n";

int RenameNoReplace(const std::string& from, const std::string& to) {
  // rename() would silently replace an earlier rotated file.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without RENAME_NOREPLACE: a hard link also refuses an
  // existing name.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  if (unlink(from.c_str()) != 0) {
    const int error = errno;
    unlink(to.c_str());
    return error;
  }
  return 0;
}

std::int64_t StreamPosition(std::FILE* stream) { return ftello(stream); }

}  // namespace platform
