#include "platform/os_hooks.h"

namespace platform {

// No COM here.
bool InitializeSystemCom() { return true; }
void UninitializeSystemCom() {}

}  // namespace platform
