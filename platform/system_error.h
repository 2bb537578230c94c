// The platform's error numbers and their texts.
#pragma once

#include <string>

namespace platform {

// The calling thread's last error (GetLastError on Windows, errno elsewhere).
int LastError();
void SetLastError(int code);

// The system's text for `code`, exactly as the system gives it; empty when
// the system has none.
std::string SystemErrorText(int code);

}  // namespace platform
