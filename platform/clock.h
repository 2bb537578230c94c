// Calendar time, replaceable in tests so that a test can write "tomorrow".
#pragma once

#include <ctime>
#include <string>

namespace platform {

std::time_t Now();

// Replaces Now() until reset with nullptr.
using NowFunction = std::time_t (*)();
void SetNowForTesting(NowFunction now);

// Local broken-down time; false when the time cannot be converted.
bool ToLocalTime(std::time_t time, std::tm* out);

// The system's own ctime() text for `time`, without its trailing line feed,
// with the day of the month always as two digits ("Sat Jan 02 09:05:07 2016").
std::string CtimeText(std::time_t time);

}  // namespace platform
