#include <stdio.h>
#include <unistd.h>

#include <cctype>
#include <iostream>

#include "platform/dialogs.h"
#include "platform/os_hooks.h"

namespace platform {

int ShowSystemMessageBox(const std::string& text, const std::string& caption, unsigned style,
                         std::string* whyNotShown) {
  const bool okCancel = (style & 0xF) == kBoxOkCancel;
  if (!isatty(STDIN_FILENO)) {
    // No one to ask: like a box that could not be shown.
    std::cerr << caption << ": " << text << std::endl;
    *whyNotShown = "standard input is not a terminal";
    return kAnswerNone;
  }
  std::cerr << "\n== " << caption << " ==\n" << text << "\n";
  std::cerr << (okCancel ? "[OK/cancel] " : "[press Enter] ") << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return okCancel ? kAnswerCancel : kAnswerOk;
  if (!okCancel) return kAnswerOk;
  const bool cancel = !answer.empty() && std::tolower(static_cast<unsigned char>(answer[0])) == 'c';
  return cancel ? kAnswerCancel : kAnswerOk;
}

}  // namespace platform
