#include "platform/dialogs.h"

#include <atomic>

#include "platform/os_hooks.h"
#include "platform/testing.h"

namespace platform {

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  MessageBoxHandler handler = g_handler.load(std::memory_order_acquire);
  return handler ? handler(text, caption, style) : ShowSystemMessageBox(text, caption, style);
}

void SetMessageBoxHandlerForTesting(MessageBoxHandler handler) {
  g_handler.store(handler, std::memory_order_release);
}

}  // namespace platform
