// The companion's command line is split by the Windows rules on every
// platform; no input may crash the splitter, and splitting must be stable:
// arguments without quotes, backslashes or blanks come back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto arguments = platform::SplitCommandLineArguments(text);
  platform::SplitCommandLine(text);
  if (text.find_first_of("\"\\ \t") == std::string::npos && text.find('\0') == std::string::npos &&
      !text.empty()) {
    if (arguments.size() != 1 || arguments[0] != text) std::abort();
  }
  return 0;
}
