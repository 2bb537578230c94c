#include "platform/installation_lock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace platform {
namespace {

// The folder as one name whatever its spelling: full path, backslashes, no
// final separator, upper case (file names are compared so).
std::string CanonicalFolder(const std::string& directory) {
  std::vector<char> buffer(MAX_PATH);
  DWORD length = GetFullPathNameA(directory.c_str(), static_cast<DWORD>(buffer.size()),
                                  buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameA(directory.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                              nullptr);
  }
  std::string path =
      length > 0 && length < buffer.size() ? std::string(buffer.data(), length) : directory;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  if (!path.empty()) CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
  return path;
}

// What the file system says the folder is: its volume's serial number and its
// file ID, the same for every spelling of it (an 8.3 short name, a junction,
// a `subst` drive), as the inode is on Linux. False when the folder cannot be
// opened.
bool FolderIdentity(const std::string& directory, std::string* identity) {
  const std::string canonical = CanonicalFolder(directory);
  const int length = MultiByteToWideChar(CP_ACP, 0, canonical.c_str(), -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<wchar_t> wide(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, canonical.c_str(), -1, wide.data(), length);
  // A folder opens only with backup semantics; nothing is read or locked.
  HANDLE folder = CreateFileW(wide.data(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileInformationByHandle(folder, &information) != 0;
  CloseHandle(folder);
  if (!known) return false;
  char text[64];
  std::snprintf(text, sizeof text, "%08lx.%08lx%08lx",
                static_cast<unsigned long>(information.dwVolumeSerialNumber),
                static_cast<unsigned long>(information.nFileIndexHigh),
                static_cast<unsigned long>(information.nFileIndexLow));
  *identity = text;
  return true;
}

// Kernel object names may not hold backslashes and are limited in length, so
// a folder the file system cannot identify enters the name as a 64-bit
// FNV-1a hash of its full path.
std::string MutexName(const std::string& directory) {
  std::string identity;
  if (FolderIdentity(directory, &identity)) {
    return "Local\\KorvanUpdater.Installation." + identity;
  }
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : CanonicalFolder(directory)) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "Local\\KorvanUpdater.Installation.%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InstallationLock::InstallationLock(std::string directory)
    : directory_(std::move(directory)), handle_(0) {}

InstallationLock::~InstallationLock() { Release(); }

LockResult InstallationLock::TryAcquire() { return Take(std::chrono::milliseconds(0)); }
LockResult InstallationLock::Acquire(std::chrono::milliseconds bound) { return Take(bound); }

LockResult InstallationLock::Take(std::chrono::milliseconds bound) {
  if (held_) return LockResult::kAcquired;
  if (handle_ == 0) {
    // Not inheritable: a program started meanwhile must not keep it alive.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(directory_).c_str());
    if (mutex == nullptr) {
      error_ = static_cast<int>(GetLastError());
      return LockResult::kUnavailable;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
  }
  const DWORD wait =
      static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(bound.count(), INFINITE - 1));
  switch (WaitForSingleObject(Native(handle_), wait)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder died: the system handed it on
      held_ = true;
      return LockResult::kAcquired;
    case WAIT_TIMEOUT:
      return LockResult::kBusy;
    default:
      error_ = static_cast<int>(GetLastError());
      return LockResult::kUnavailable;
  }
}

void InstallationLock::Release() {
  if (held_) ReleaseMutex(Native(handle_));
  if (handle_ != 0) CloseHandle(Native(handle_));
  handle_ = 0;
  held_ = false;
}

}  // namespace platform
