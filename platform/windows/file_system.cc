#include "platform/file_system.h"
#include "platform/testing.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/windows/wide_text.h"

namespace platform {

const char kTextModeLineEnd[] = "\r\n";

int RenameNoReplace(const NativePath& from, const NativePath& to) {
  // The C runtime's rename refuses an existing target here.
  return _wrename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

const char kPreferredSeparator[] = "\\";

namespace {

// The errors the system gives when a path, its directory or its drive is not
// there.
bool IsNotFound(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
      return true;
    default:
      return false;
  }
}

}  // namespace

PathPresence QueryPath(const std::string& path, int* error) {
  if (GetFileAttributesW(WidenAnsi(path).c_str()) != INVALID_FILE_ATTRIBUTES)
    return PathPresence::kPresent;
  const DWORD code = GetLastError();
  if (IsNotFound(code)) return PathPresence::kAbsent;
  // A file the system keeps open (a paging file) is there, only unreadable.
  if (code == ERROR_SHARING_VIOLATION) return PathPresence::kPresent;
  *error = static_cast<int>(code);
  return PathPresence::kUnknown;
}

int RemovePath(const std::string& path) {
  const std::wstring wide = WidenAnsi(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  const bool directory =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const BOOL removed = directory ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str());
  return removed ? 0 : static_cast<int>(GetLastError());
}

// Windows has no execute permission to carry over.
int AdoptPermissions(const std::string&, const std::string&) { return 0; }

int MovePathReplacing(const std::string& from, const std::string& to) {
  // Write-through: the call returns once the move is on disk.
  if (MoveFileExW(WidenAnsi(from).c_str(), WidenAnsi(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return static_cast<int>(GetLastError());
}

int MovePathNoReplace(const std::string& from, const std::string& to) {
  if (MoveFileExW(WidenAnsi(from).c_str(), WidenAnsi(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return static_cast<int>(GetLastError());
}

int FlushFileToDisk(const std::string& path) {
  // Flushing needs write access; others may go on reading meanwhile.
  HANDLE file = CreateFileW(WidenAnsi(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  const int error = FlushFileBuffers(file) ? 0 : static_cast<int>(GetLastError());
  CloseHandle(file);
  return error;
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidenAnsi(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
