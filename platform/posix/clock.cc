#include "platform/clock.h"

#include <time.h>

namespace platform {

bool ToLocalTime(std::time_t time, std::tm* out) { return localtime_r(&time, out) != nullptr; }

std::string CtimeText(std::time_t time) {
  char buffer[64] = {};
  if (ctime_r(&time, buffer) == nullptr) return std::string();
  std::string stamp(buffer);
  if (!stamp.empty() && stamp.back() == '\n') stamp.pop_back();
  return stamp;
}

}  // namespace platform
