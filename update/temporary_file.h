// A temporary file of the check, gone however the check ends, exceptions
// included.
#pragma once

#include <string>
#include <utility>

#include "platform/temp_files.h"

class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() { Remove(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  void Remove() {
    // An empty path means no file was made.
    if (!path_.empty()) platform::RemoveFile(path_);
    path_.clear();
  }

 private:
  std::string path_;
};
