// Called by the platform's load and unload hooks of the shared library
// (DllMain on Windows, constructor and destructor elsewhere). Implemented by
// the host.
#pragma once

namespace platform {

void OnLibraryLoad();
// `processEnding`: the process is ending and the system has already stopped
// its other threads wherever they were, perhaps holding a lock (Windows does
// so before it unloads the libraries at exit). False when the library is
// unloaded from a running process, and always false elsewhere: other threads
// run on until the very end there.
void OnLibraryUnload(bool processEnding);

}  // namespace platform
