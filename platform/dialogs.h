// Modal message boxes with no owner window and language 0.
#pragma once

#include <string>

namespace platform {

// Box styles and answers, with the platform's values.
constexpr unsigned kBoxOk = 0x0;
constexpr unsigned kBoxOkCancel = 0x1;
constexpr unsigned kBoxIconWarning = 0x30;
constexpr unsigned kBoxIconInformation = 0x40;
constexpr int kAnswerNone = 0;  // the box could not be shown
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;

// Shows the box and waits for the answer (MessageBoxExA on Windows; on other
// systems a question on the terminal when standard input is one, otherwise
// the text on standard error and kAnswerNone). On kAnswerNone `whyNotShown`,
// when given, receives the reason.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style,
                   std::string* whyNotShown = nullptr);

}  // namespace platform
