#include "platform/append_file.h"
#include "platform/file_system.h"

#include <windows.h>

#include <cerrno>

namespace platform {
namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The C runtime's error number for a failed CreateFile, as fopen reports it.
int RuntimeErrorFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_NOT_ENOUGH_QUOTA:
      return ENOMEM;
    case ERROR_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_DRIVE_LOCKED:
    case ERROR_LOCK_FAILED:
      return EACCES;
    default:
      // The write-protect to sharing-buffer errors, sharing violations among
      // them, are all "access denied" to the runtime.
      if (error >= ERROR_WRITE_PROTECT && error <= ERROR_SHARING_BUFFER_EXCEEDED) return EACCES;
      return EINVAL;
  }
}

}  // namespace

AppendFile::~AppendFile() { Close(); }

int AppendFile::Open(const NativePath& path) {
  Close();
  // Append access without write access: the system then puts every write at
  // the end of the file atomically, whichever process writes. No delete
  // sharing: a rotation elsewhere cannot rename the file under an open log,
  // as with the runtime's streams.
  const HANDLE handle = CreateFileW(
      path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return RuntimeErrorFor(GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  size_ = SystemSize();
  appendedSinceRead_ = 0;
  return 0;
}

void AppendFile::Close() {
  if (!IsOpen()) return;
  CloseHandle(Native(handle_));
  handle_ = kClosed;
  size_ = -1;
}

int AppendFile::CloseAndMoveAside(const NativePath& path, const NativePath& newPath,
                                  const std::string& closingRemark) {
  AppendText(closingRemark);
  // An open file cannot be renamed here, not even by its opener.
  Close();
  return RenameNoReplace(path, newPath);
}

bool AppendFile::AppendText(const std::string& text) {
  if (!IsOpen()) return false;
  std::string stored;
  stored.reserve(text.size() + text.size() / 16 + 2);
  for (char c : text) {
    if (c == '\n') stored += '\r';
    stored += c;
  }
  const char* data = stored.data();
  std::size_t left = stored.size();
  while (left > 0) {
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(Native(handle_), data, chunk, &written, nullptr) || written == 0) {
      CountAppended(stored.size() - left);
      return false;
    }
    data += written;
    left -= written;
  }
  CountAppended(stored.size());
  return true;
}

std::int64_t AppendFile::SystemSize() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(Native(handle_), &size)) return -1;
  return size.QuadPart;
}

}  // namespace platform
