// The system's side of the services whose common part lives in platform/*.cc,
// defined once in windows/ and once in posix/. Internal to platform/.
#pragma once

#include <string>

namespace platform {

void InitializeSystemCom();
void UninitializeSystemCom();

int ShowSystemMessageBox(const std::string& text, const std::string& caption, unsigned style);

// The system's temporary path as it names it, and its long form.
std::string SystemTemporaryPath();
std::string LongPathForm(const std::string& path);

}  // namespace platform
