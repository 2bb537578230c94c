#include <objbase.h>

#include "platform/os_hooks.h"

namespace platform {

void InitializeSystemCom() { CoInitialize(nullptr); }
void UninitializeSystemCom() { CoUninitialize(); }

}  // namespace platform
