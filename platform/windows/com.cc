#include <objbase.h>

namespace platform {

void InitializeSystemCom() { CoInitialize(nullptr); }
void UninitializeSystemCom() { CoUninitialize(); }

}  // namespace platform
