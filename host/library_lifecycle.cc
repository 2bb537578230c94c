// What the library does when a process loads and unloads it.
#include <new>
#include <type_traits>

#include "host/host.h"
#include "host/shared_primitives.h"
#include "log/common_log.h"
#include "platform/library_entry.h"
#include "platform/module_path.h"

namespace platform {

// Load and unload run inside the system's loader (DllMain, a static
// constructor): an exception leaving them ends the terminal. Each step is
// guarded on its own, so that a log that cannot be made still leaves the
// sections usable.
void OnLibraryLoad() {
  try {
    // The log exists before the sections; it needs none of them.
    const std::string directory = GetModuleDirectory();
    // The file is reached through the folder's own name: the narrow text,
    // kept for the log's lines, cannot name every folder.
    const NativePath location =
        ModuleFileNativePath().parent_path() / NativePathOf(kLogPathFromLibraryDirectory);
    g_log.reset(new TCommonLog(directory + kLogPathFromLibraryDirectory, location));
  } catch (...) {
  }
  try {
    InitializeSharedPrimitives();
  } catch (...) {
  }
}

void OnLibraryUnload(bool processEnding) {
  // g_log goes with the library's other statics afterwards.
  try {
    DeleteSharedPrimitives();
  } catch (...) {
  }
  if (processEnding) {
    // A thread stopped inside Write may hold the log's lock for good, and the
    // log's destructor would wait for it and hang the exit. Every line is in
    // the file already, so the log is left to the system, which closes it: a
    // reference that is never released, kept without allocating (a stopped
    // thread may hold the heap's lock too).
    using Holder = std::shared_ptr<ICommonLog>;
    static std::aligned_storage_t<sizeof(Holder), alignof(Holder)> kept;
    new (&kept) Holder(g_log);
  }
}

}  // namespace platform
