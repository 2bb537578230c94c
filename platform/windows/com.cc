#include <objbase.h>

#include "platform/os_hooks.h"

namespace platform {

bool InitializeSystemCom() {
  // S_FALSE (already initialised alike) counts too and is released as well;
  // RPC_E_CHANGED_MODE does not, and releasing would undo the host's own.
  return SUCCEEDED(CoInitialize(nullptr));
}
void UninitializeSystemCom() { CoUninitialize(); }

}  // namespace platform
