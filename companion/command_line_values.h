// The values the terminal hands the companion on its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CommandLineValues {
  std::string url;                  // -u
  std::string waitApp;              // -a
  std::string files;                // -f
  std::uint32_t hostProcessId = 0;  // -p
};

// Reads -u, -a, -f and -p, each exactly once and each followed by its value,
// the process id in decimal. Empty on success, otherwise what is wrong.
std::string ReadCommandLineValues(const std::vector<std::string>& arguments,
                                  CommandLineValues* values);
