#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"

namespace platform {

AppendFile::~AppendFile() { Close(); }

int AppendFile::Open(const NativePath& path) {
  Close();
  // Close-on-exec: a program started meanwhile opens the log itself.
  const int descriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno;
  handle_ = descriptor;
  size_ = SystemSize();
  appendedSinceRead_ = 0;
  return 0;
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  close(static_cast<int>(handle_));
  handle_ = kClosed;
  size_ = -1;
}

int AppendFile::CloseAndMoveAside(const NativePath& path, const NativePath& newPath,
                                  const std::string& closingRemark) {
  if (!IsOpen()) return EBADF;
  const int descriptor = static_cast<int>(handle_);
  // Held until the close: another process's rotation waits, then finds the
  // path naming a file other than its own.
  while (flock(descriptor, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat opened {};
  struct stat named {};
  const bool stillThere = fstat(descriptor, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
                          opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
  int error = 0;
  if (stillThere) {
    AppendText(closingRemark);
    error = RenameNoReplace(path, newPath);
  }
  Close();
  return error;
}

bool AppendFile::AppendText(const std::string& text) {
  if (!IsOpen()) return false;
  const char* data = text.data();
  std::size_t left = text.size();
  // A regular file takes the whole record in one write; the loop only
  // continues after an interrupting signal.
  while (left > 0) {
    const ssize_t written = write(static_cast<int>(handle_), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      CountAppended(text.size() - left);
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  CountAppended(text.size());
  return true;
}

std::int64_t AppendFile::SystemSize() const {
  struct stat status;
  if (!IsOpen() || fstat(static_cast<int>(handle_), &status) != 0) return -1;
  return status.st_size;
}

}  // namespace platform
