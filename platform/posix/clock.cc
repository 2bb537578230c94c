#include "platform/clock.h"

#include <time.h>

namespace platform {

bool ToLocalTime(std::time_t time, std::tm* out) { return localtime_r(&time, out) != nullptr; }

std::string CtimeText(std::time_t time) {
  char buffer[64] = {};
  if (ctime_r(&time, buffer) == nullptr) return std::string();
  std::string stamp(buffer);
  if (!stamp.empty() && stamp.back() == '\n') stamp.pop_back();
  // The log's stamp has the day as two digits; glibc pads a single one with a
  // blank ("Jan  2") where Windows writes "Jan 02".
  if (stamp.size() == 24 && stamp[8] == ' ') stamp[8] = '0';
  return stamp;
}

}  // namespace platform
