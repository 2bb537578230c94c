#include <windows.h>

#include <string>

#include "platform/dialogs.h"
#include "platform/os_hooks.h"
#include "platform/system_error.h"

namespace platform {

int ShowSystemMessageBox(const std::string& text, const std::string& caption, unsigned style,
                         std::string* whyNotShown) {
  const int answer = MessageBoxExA(nullptr, text.c_str(), caption.c_str(), style, 0);
  if (answer == 0) {
    const int error = static_cast<int>(GetLastError());
    std::string reason = SystemErrorText(error);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    *whyNotShown = "error " + std::to_string(error) + (reason.empty() ? "" : ": " + reason);
  }
  return answer;
}

}  // namespace platform
