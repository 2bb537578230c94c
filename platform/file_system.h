// File operations whose errors must be the platform's own numbers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/native_path.h"

namespace platform {

// Renames `from` to `to` but never replaces an existing `to`. Returns 0, or
// the C runtime's error number.
int RenameNoReplace(const NativePath& from, const NativePath& to);

// The separator this platform's own paths use ("\\" on Windows, "/" elsewhere).
extern const char kPreferredSeparator[];

// Whether something lies at `path`. kAbsent when the system reports the path,
// its directory or its drive as not found; kUnknown, with `*error` set to the
// system's error number, when the query failed for any other reason.
enum class PathPresence { kPresent, kAbsent, kUnknown };
PathPresence QueryPath(const std::string& path, int* error);

// Deletes a file, or an empty directory (DeleteFileA / RemoveDirectoryA;
// remove()). Returns 0 or the system's error number.
int RemovePath(const std::string& path);

// Moves `from` to `to`, replacing a file of that name, and copying when the
// two lie on different volumes (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_COPY_ALLOWED; rename(), with a copy across devices). The move is on
// disk when it returns, so that a power cut cannot undo it or leave neither
// name (MOVEFILE_WRITE_THROUGH; the folders fsync()ed). Returns 0 or the
// system's error number.
int MovePathReplacing(const std::string& from, const std::string& to);

// Moves `from` to `to` only when nothing lies at `to`, atomically, durably
// as MovePathReplacing, and never across volumes (MoveFileExW without
// MOVEFILE_REPLACE_EXISTING; renameat2() with RENAME_NOREPLACE, or a hard
// link where the file system lacks it). A repair that puts a previous file
// back must never overwrite a file another update has just moved in.
// Returns 0 or the system's error number.
int MovePathNoReplace(const std::string& from, const std::string& to);

// Writes the file's data from the system's cache to the disk
// (FlushFileBuffers; fsync()), so that a file moved into place afterwards is
// never found empty or zero-filled after a power cut. Returns 0 or the
// system's error number.
int FlushFileToDisk(const std::string& path);

// True when `path` names a folder.
bool IsDirectory(const std::string& path);

// Gives `path` the access permissions of `model`, so that a file that
// replaces another keeps being executable where the system marks programs so
// (POSIX mode bits). Nothing to do on Windows. Returns 0 or the system's
// error number.
int AdoptPermissions(const std::string& model, const std::string& path);

}  // namespace platform
