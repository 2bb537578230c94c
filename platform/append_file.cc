#include "platform/append_file.h"

namespace platform {

void AppendFile::CountAppended(std::size_t count) {
  appendedSinceRead_ += static_cast<std::int64_t>(count);
  if (appendedSinceRead_ >= kSizeReadEvery || size_ < 0) {
    size_ = SystemSize();
    appendedSinceRead_ = 0;
  } else {
    size_ += static_cast<std::int64_t>(count);
  }
}

}  // namespace platform
