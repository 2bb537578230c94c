// What the library does when a process loads and unloads it.
#include "host/host.h"
#include "host/shared_primitives.h"
#include "log/common_log.h"
#include "platform/library_entry.h"
#include "platform/module_path.h"

namespace platform {

void OnLibraryLoad() {
  // The log exists before the sections; it needs none of them.
  const std::string directory = GetModuleDirectory();
  // The file is reached through the folder's own name: the narrow text, kept
  // for the log's lines, cannot name every folder.
  const NativePath location =
      ModuleFileNativePath().parent_path() / NativePathOf(kLogPathFromLibraryDirectory);
  g_log.reset(new TCommonLog(directory + kLogPathFromLibraryDirectory, location));
  InitializeSharedPrimitives();
}

void OnLibraryUnload() {
  // WaitAppPath and g_log go with the library's other statics afterwards.
  DeleteSharedPrimitives();
}

}  // namespace platform
