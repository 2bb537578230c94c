#include "platform/dialogs.h"

#include <atomic>

#include "platform/os_hooks.h"
#include "platform/testing.h"

namespace platform {

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}  // namespace

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style,
                   std::string* whyNotShown) {
  std::string why = "the test's handler showed none";
  MessageBoxHandler handler = g_handler.load(std::memory_order_acquire);
  const int answer =
      handler ? handler(text, caption, style) : ShowSystemMessageBox(text, caption, style, &why);
  if (answer == kAnswerNone && whyNotShown != nullptr) *whyNotShown = why;
  return answer;
}

void SetMessageBoxHandlerForTesting(MessageBoxHandler handler) {
  g_handler.store(handler, std::memory_order_release);
}

}  // namespace platform
