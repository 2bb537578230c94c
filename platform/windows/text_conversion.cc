#include "platform/text_conversion.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace platform {

std::string WideToNarrow(const char16_t* text, std::size_t length) {
  if (text == nullptr || length == 0 || length > INT_MAX) return std::string();
  const auto* source = reinterpret_cast<const wchar_t*>(text);
  const int units = static_cast<int>(length);
  const char kDefault[] = "_";
  // Sized for the whole conversion: a double-byte code page needs more bytes
  // than the text has characters, and cutting it would name another path.
  int needed = WideCharToMultiByte(CP_ACP, 0, source, units, nullptr, 0, kDefault, nullptr);
  const char* defaultChar = kDefault;
  if (needed <= 0) {
    // A UTF-8 system code page refuses a default character; it needs none.
    defaultChar = nullptr;
    needed = WideCharToMultiByte(CP_ACP, 0, source, units, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
  }
  std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, source, units, buffer.data(), needed, defaultChar, nullptr);
  return std::string(buffer.data());
}

}  // namespace platform
