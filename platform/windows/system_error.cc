#include "platform/system_error.h"

#include <windows.h>

namespace platform {

int LastError() { return static_cast<int>(GetLastError()); }
void SetLastError(int code) { ::SetLastError(static_cast<DWORD>(code)); }

std::string SystemErrorText(int code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&buffer), 0,
      nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  return text;
}

}  // namespace platform
