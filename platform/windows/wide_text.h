// The Windows layer's conversions between the library's narrow texts (the
// ANSI code page) and the system's UTF-16.
#pragma once

#include <string>

namespace platform {

// The narrow text in UTF-16. The ANSI code page converts back and forth
// without loss, so a path reached this way is the one the narrow text names.
std::wstring WidenAnsi(const std::string& text);

// Whether `length` UTF-16 units convert to the ANSI code page and back
// unchanged: false when the conversion has to substitute or approximate a
// character.
bool AnsiRoundTrips(const wchar_t* text, std::size_t length);

}  // namespace platform
