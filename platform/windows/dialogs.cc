#include <windows.h>

#include "platform/dialogs.h"
#include "platform/os_hooks.h"

namespace platform {

int ShowSystemMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  return MessageBoxExA(nullptr, text.c_str(), caption.c_str(), style, 0);
}

}  // namespace platform
