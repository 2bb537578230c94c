// A file that several threads and processes append records to at once: each
// record lands whole at the file's end, never split by or overlapping
// another's (O_APPEND on POSIX; on Windows a handle opened for appending only,
// whose writes the system places at the end in one piece). A C runtime stream
// gives neither: it may write one record in several pieces, and on Windows it
// seeks to the end and then writes, so two processes overwrite each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_path.h"

namespace platform {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens `path` for appending, creating it when missing; other openers may
  // read and write it meanwhile, but not rename or delete it on Windows.
  // Returns 0, or the C runtime's error number (errno) as fopen would set it.
  int Open(const NativePath& path);
  bool IsOpen() const { return handle_ != kClosed; }
  void Close();

  // The rotation: ends the file at `path` with `closingRemark`, closes it and
  // renames it to `newPath` without replacing a file there. When `path` no
  // longer names this file (another process rotated it a moment ago and
  // opened the new day's file there), it is only closed: renaming would give
  // the other's new lines the old day's name. POSIX keeps two processes'
  // rotations apart with a lock on the file; Windows lets no one rename a
  // file another process holds open. Returns 0, or the rename's errno.
  int CloseAndMoveAside(const NativePath& path, const NativePath& newPath,
                        const std::string& closingRemark);

  // Writes `text` at the file's end in one piece, every line feed stored as
  // this platform's text files have it (CR LF on Windows, as a text-mode
  // stream writes it). False when not all of it could be written.
  bool AppendText(const std::string& text);

  // The file's size in bytes, -1 when it cannot be read. Asking the system
  // costs as much as the write itself, so it is asked at the opening and
  // again after every 64 KiB appended here; in between, this object's own
  // appends are counted and other writers' are not yet seen.
  std::int64_t Size() const { return size_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  static constexpr std::int64_t kSizeReadEvery = 64 * 1024;
  std::int64_t SystemSize() const;
  // After `count` more bytes were appended.
  void CountAppended(std::size_t count);

  std::intptr_t handle_ = kClosed;  // a descriptor, or a HANDLE on Windows
  std::int64_t size_ = -1;
  std::int64_t appendedSinceRead_ = 0;
};

}  // namespace platform
