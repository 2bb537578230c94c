#include "platform/installation_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace platform {

InstallationLock::InstallationLock(std::string directory)
    : directory_(std::move(directory)), handle_(-1) {}

InstallationLock::~InstallationLock() { Release(); }

LockResult InstallationLock::TryAcquire() { return Take(std::chrono::milliseconds(0)); }
LockResult InstallationLock::Acquire(std::chrono::milliseconds bound) { return Take(bound); }

LockResult InstallationLock::Take(std::chrono::milliseconds bound) {
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
  // flock() has no time limit of its own: the lock is asked for again and
  // again until the bound has passed.
  const auto deadline = std::chrono::steady_clock::now() + bound;
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return LockResult::kAcquired;
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      error_ = errno;
      return LockResult::kUnavailable;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return LockResult::kBusy;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(200));
  }
}

void InstallationLock::Release() {
  // Closing the only descriptor of the open folder drops the lock.
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  held_ = false;
}

}  // namespace platform
