// One update of an installation at a time, across processes: an exclusive
// lock keyed on the installation's folder that the system releases when its
// holder dies, however it dies.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace platform {

enum class LockResult {
  kAcquired,
  kBusy,         // another holder has it (still, after Acquire's bound)
  kUnavailable,  // the system offers no lock for this folder (error() says why)
};

// Windows: a named mutex whose name is formed from the folder's volume serial
// number and file ID, or, for a folder that cannot be opened, from its full
// path in upper case (an abandoned mutex counts as acquired). POSIX: flock() on the
// folder itself, opened read-only, so a read-only installation locks as well
// as any other and nothing is written into it. The lock is not inherited by
// programs started while it is held. Two objects for the same folder exclude
// each other also within one process, except on Windows on one thread.
class InstallationLock {
 public:
  explicit InstallationLock(std::string directory);
  ~InstallationLock();
  InstallationLock(const InstallationLock&) = delete;
  InstallationLock& operator=(const InstallationLock&) = delete;

  LockResult TryAcquire();
  // Waits up to `bound` while another holder has it; kBusy when it still
  // does.
  LockResult Acquire(std::chrono::milliseconds bound);
  void Release();

  bool held() const { return held_; }
  const std::string& directory() const { return directory_; }
  // The system's error number of the last kUnavailable.
  int error() const { return error_; }

 private:
  LockResult Take(std::chrono::milliseconds bound);

  std::string directory_;
  std::intptr_t handle_;
  bool held_ = false;
  int error_ = 0;
};

}  // namespace platform
