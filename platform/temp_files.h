// The user's temporary directory and uniquely named files in it.
#pragma once

#include <string>

namespace platform {

// What creating a directory fails with when a folder above it is missing
// (ERROR_PATH_NOT_FOUND on Windows, ENOENT elsewhere).
extern const int kErrorPathNotFound;

// The user's temporary directory in its long form, normally ending with a
// separator (GetTempPathA and GetLongPathNameA; TMPDIR, else "/tmp"). Where
// the long form cannot be had (the directory is missing), the path as the
// system names it. Empty when the system names none.
std::string TemporaryDirectory();

// Creates the directory (CreateDirectoryA with default security; mkdir, for
// the user alone). 0, or the platform's error number, also left as the last
// error.
int MakeDirectory(const std::string& path);

// Creates a new, uniquely named, empty file in `directory` whose name starts
// with `prefix` (GetTempFileNameA: prefix, hexadecimal number, ".TMP";
// mkstemp: prefix and six random characters). Its path, or an empty string
// with the last error set.
std::string CreateTemporaryFile(const std::string& directory, const std::string& prefix);

// Deletes the file (DeleteFileA; unlink). 0, or the platform's error number.
int RemoveFile(const std::string& path);

}  // namespace platform
