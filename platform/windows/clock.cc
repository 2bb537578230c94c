#include "platform/clock.h"

#include <cstring>
#include <ctime>

namespace platform {

bool ToLocalTime(std::time_t time, std::tm* out) { return localtime_s(out, &time) == 0; }

std::string CtimeText(std::time_t time) {
  // The C runtime keeps ctime's buffer per thread.
  const char* text = std::ctime(&time);
  if (text == nullptr) return std::string();
  std::string stamp(text);
  if (!stamp.empty() && stamp.back() == '\n') stamp.pop_back();
  return stamp;
}

}  // namespace platform
