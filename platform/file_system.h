// File operations whose errors must be the platform's own numbers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// How a text-mode stream stores a line feed on this platform.
extern const char kTextModeLineEnd[];

// Renames `from` to `to` but never replaces an existing `to`. Returns 0, or
// the C runtime's error number.
int RenameNoReplace(const std::string& from, const std::string& to);

// The stream's position as a 64-bit value; -1 when it cannot be read.
std::int64_t StreamPosition(std::FILE* stream);

}  // namespace platform
