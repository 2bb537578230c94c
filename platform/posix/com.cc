#include "platform/os_hooks.h"

namespace platform {

// No COM here.
void InitializeSystemCom() {}
void UninitializeSystemCom() {}

}  // namespace platform
