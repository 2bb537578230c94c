#include "platform/installation_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

InstallationLock::InstallationLock(std::string directory)
    : directory_(std::move(directory)), handle_(-1) {}

InstallationLock::~InstallationLock() { Release(); }

LockResult InstallationLock::TryAcquire() { return Take(false); }
LockResult InstallationLock::Acquire() { return Take(true); }

LockResult InstallationLock::Take(bool wait) {
  if (held_) return LockResult::kAcquired;
  if (handle_ < 0) {
    // The folder's own inode is the key: every spelling of its path meets
    // there, and nothing needs to be created in it.
    const int descriptor = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
      error_ = errno;
      return LockResult::kUnavailable;
    }
    handle_ = descriptor;
  }
  const int descriptor = static_cast<int>(handle_);
  for (;;) {
    if (flock(descriptor, LOCK_EX | (wait ? 0 : LOCK_NB)) == 0) {
      held_ = true;
      return LockResult::kAcquired;
    }
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return LockResult::kBusy;
    error_ = errno;
    return LockResult::kUnavailable;
  }
}

void InstallationLock::Release() {
  // Closing the only descriptor of the open folder drops the lock.
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  held_ = false;
}

}  // namespace platform
