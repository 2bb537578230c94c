#include "companion/command_line_values.h"

#include <cerrno>
#include <cstdlib>

namespace {

// A decimal number of 32 bits at most, nothing else.
bool ReadProcessId(const std::string& text, std::uint32_t* id) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value > 0xFFFFFFFFull) return false;
  *id = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

std::string ReadCommandLineValues(const std::vector<std::string>& arguments,
                                  CommandLineValues* values) {
  bool seen[4] = {false, false, false, false};
  std::string processId;
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& option = arguments[i];
    int slot = -1;
    std::string* target = nullptr;
    if (option == "-u") {
      slot = 0, target = &values->url;
    } else if (option == "-a") {
      slot = 1, target = &values->waitApp;
    } else if (option == "-f") {
      slot = 2, target = &values->files;
    } else if (option == "-p") {
      slot = 3, target = &processId;
    } else {
      return "unknown argument \"" + option + "\"";
    }
    if (seen[slot]) return option + " is given twice";
    if (i + 1 >= arguments.size()) return option + " has no value";
    seen[slot] = true;
    *target = arguments[i + 1];
  }
  static const char* const kOptions[] = {"-u", "-a", "-f", "-p"};
  for (int slot = 0; slot < 4; ++slot) {
    if (!seen[slot]) return std::string(kOptions[slot]) + " is missing";
  }
  if (!ReadProcessId(processId, &values->hostProcessId)) {
    return "-p \"" + processId + "\" is not a process id";
  }
  return std::string();
}
