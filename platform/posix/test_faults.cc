// Faults the tests bring about on POSIX systems.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/testing.h"

namespace platform {

bool LimitFileSizeForTesting(std::uint64_t bytes) {
  // Without this the write past the limit would kill the process.
  signal(SIGXFSZ, bytes == 0 ? SIG_DFL : SIG_IGN);
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  limit.rlim_cur = bytes == 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

namespace {

// Permissions do not bind root; the immutable flag does, and also keeps the
// folder's permissions from being changed.
bool SetImmutable(const std::string& path, bool immutable) {
  const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return false;
  int flags = 0;
  bool done = ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ioctl(folder, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(folder);
  return done;
}

}  // namespace

bool JoinMultithreadedApartmentForTesting() { return false; }
bool LeaveMultithreadedApartmentForTesting() { return false; }

bool SetFolderReadOnlyForTesting(const std::string& path, bool readOnly) {
  const bool root = geteuid() == 0;
  if (root && !readOnly && !SetImmutable(path, false)) return false;
  if (chmod(path.c_str(), readOnly ? 0555 : 0755) != 0) return false;
  return !root || !readOnly || SetImmutable(path, true);
}

}  // namespace platform
