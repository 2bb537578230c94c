#include "platform/file_system.h"
#include "platform/testing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

const char kTextModeLineEnd[] = "\n";

int RenameNoReplace(const NativePath& from, const NativePath& to) {
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

const char kPreferredSeparator[] = "/";

PathPresence QueryPath(const std::string& path, int* error) {
  struct stat status;
  if (stat(path.c_str(), &status) == 0) return PathPresence::kPresent;
  if (errno == ENOENT || errno == ENOTDIR) return PathPresence::kAbsent;
  *error = errno;
  return PathPresence::kUnknown;
}

int RemovePath(const std::string& path) { return ::remove(path.c_str()) == 0 ? 0 : errno; }

namespace {

// Writes all of `size` bytes; false on a write error.
bool WriteAll(int descriptor, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, data, static_cast<size_t>(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Copies the regular file `from` under a temporary name beside `to`, then
// renames it over `to`, so that `to` is never seen half written. 0 or errno.
int CopyAcrossDevices(const std::string& from, const std::string& to) {
  const int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return errno;
  struct stat status;
  if (fstat(source, &status) != 0) {
    const int error = errno;
    close(source);
    return error;
  }
  if (!S_ISREG(status.st_mode)) {
    // Only files travel between devices.
    close(source);
    return EXDEV;
  }
  std::string temporary = to + ".XXXXXX";
  const int target = mkostemp(temporary.data(), O_CLOEXEC);
  if (target < 0) {
    const int error = errno;
    close(source);
    return error;
  }
  int error = 0;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t count = read(source, buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (!WriteAll(target, buffer, count)) {
      error = errno;
      break;
    }
  }
  if (error == 0 && fchmod(target, status.st_mode & 07777) != 0) error = errno;
  if (error == 0 && fsync(target) != 0) error = errno;
  if (close(target) != 0 && error == 0) error = errno;
  close(source);
  if (error == 0 && rename(temporary.c_str(), to.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return error;
  }
  return unlink(from.c_str()) == 0 ? 0 : errno;
}

}  // namespace

int AdoptPermissions(const std::string& model, const std::string& path) {
  struct stat status;
  if (stat(model.c_str(), &status) != 0) return errno;
  return chmod(path.c_str(), status.st_mode & 07777) == 0 ? 0 : errno;
}

namespace {

// The folder holding `path`, as open() takes it.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A rename is on disk only once its folder is. Some file systems cannot sync
// a folder; the move itself has happened, so that is no failure.
void SyncFolderOf(const std::string& path) {
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  fsync(folder);
  close(folder);
}

}  // namespace

int MovePathReplacing(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    if (errno != EXDEV) return errno;
    const int error = CopyAcrossDevices(from, to);
    if (error != 0) return error;
  }
  SyncFolderOf(to);
  if (FolderOf(from) != FolderOf(to)) SyncFolderOf(from);
  return 0;
}

int MovePathNoReplace(const std::string& from, const std::string& to) {
  const int error = RenameNoReplace(from, to);
  if (error != 0) return error;
  SyncFolderOf(to);
  return 0;
}

int FlushFileToDisk(const std::string& path) {
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return errno;
  const int error = fsync(file) == 0 ? 0 : errno;
  close(file);
  return error;
}

bool IsDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace platform
