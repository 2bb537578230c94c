#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

int LastError() { return errno; }
void SetLastError(int code) { errno = code; }

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace platform
