#include "platform/text_conversion.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/windows/wide_text.h"

namespace platform {

std::string WideToNarrow(const char16_t* text, std::size_t length, bool* exact) {
  if (exact != nullptr) *exact = true;
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
    if (needed <= 0) {
      if (exact != nullptr) *exact = false;
      return std::string();
    }
  }
  std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, source, units, buffer.data(), needed, defaultChar, nullptr);
  if (exact != nullptr) *exact = AnsiRoundTrips(source, length);
  return std::string(buffer.data());
}

std::string NarrowEncodingName() { return "code page " + std::to_string(GetACP()); }

std::wstring WidenAnsi(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int bytes = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &wide[0], needed);
  return wide;
}

bool AnsiRoundTrips(const wchar_t* text, std::size_t length) {
  if (length == 0) return true;
  if (length > INT_MAX) return false;
  // No default character and no flags: best-fit approximations ("e" for an
  // accented letter the code page lacks) come back changed too.
  const int units = static_cast<int>(length);
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  std::string narrow(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, units, &narrow[0], needed, nullptr, nullptr);
  return WidenAnsi(narrow) == std::wstring(text, length);
}

}  // namespace platform
