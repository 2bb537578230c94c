// The message text of a code from the system's or a module's message table.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// FormatMessageA with an allocated buffer in the user's default language;
// `module` null means the system's table. Empty when there is no text.
std::string FormatMessageText(HMODULE module, int code);

}  // namespace platform
