#include "platform/file_system.h"

#include <cerrno>
#include <cstdio>

namespace platform {

const char kTextModeLineEnd[] = "\r\n";

int RenameNoReplace(const std::string& from, const std::string& to) {
  // The C runtime's rename refuses an existing target here.
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::int64_t StreamPosition(std::FILE* stream) { return _ftelli64(stream); }

}  // namespace platform
