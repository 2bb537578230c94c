// The system's side of the services whose common part lives in platform/*.cc,
// defined once in windows/ and once in posix/. Internal to platform/.
#pragma once

#include <string>

namespace platform {

// False when COM was not initialised by this call (a thread already in
// another apartment): then it must not be released either.
bool InitializeSystemCom();
void UninitializeSystemCom();

// On kAnswerNone `whyNotShown` receives the reason.
int ShowSystemMessageBox(const std::string& text, const std::string& caption, unsigned style,
                         std::string* whyNotShown);

// The system's temporary path as it names it, and its long form.
std::string SystemTemporaryPath();
std::string LongPathForm(const std::string& path);

}  // namespace platform
