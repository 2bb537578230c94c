// Conversion of the host's UTF-16 text to the library's narrow strings.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Converts `length` UTF-16 code units to the narrow encoding (the ANSI code
// page on Windows, UTF-8 elsewhere). Whatever cannot be represented becomes
// "_". The whole text is converted, however many bytes it needs. `exact`,
// when given, tells whether the result converts back to the same text: false
// when a character had to be substituted or approximated, so that a path
// would name another file.
std::string WideToNarrow(const char16_t* text, std::size_t length, bool* exact = nullptr);

// The narrow encoding as a user knows it: "code page 1251", "UTF-8".
std::string NarrowEncodingName();

}  // namespace platform
