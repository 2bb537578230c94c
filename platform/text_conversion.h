// Conversion of the host's UTF-16 text to the library's narrow strings.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Converts `length` UTF-16 code units to the narrow encoding (the ANSI code
// page on Windows, UTF-8 elsewhere). Whatever cannot be represented becomes
// "_". The whole text is converted, however many bytes it needs.
std::string WideToNarrow(const char16_t* text, std::size_t length);

}  // namespace platform
