// Called by the platform's load and unload hooks of the shared library
// (DllMain on Windows, constructor and destructor elsewhere). Implemented by
// the host.
#pragma once

namespace platform {

void OnLibraryLoad();
void OnLibraryUnload();

}  // namespace platform
