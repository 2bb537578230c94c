// Calendar time.
#pragma once

#include <ctime>
#include <string>

namespace platform {

std::time_t Now();

// Local broken-down time; false when the time cannot be converted.
bool ToLocalTime(std::time_t time, std::tm* out);

// The system's own ctime() text for `time`, without its trailing line feed,
// with the day of the month always as two digits ("Sat Jan 02 09:05:07 2016").
std::string CtimeText(std::time_t time);

}  // namespace platform
