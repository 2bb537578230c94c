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
  g_log.reset(new TCommonLog(directory + kLogPathFromLibraryDirectory));
  InitializeSharedPrimitives();
}

void OnLibraryUnload() {
  // WaitAppPath and g_log go with the library's other statics afterwards.
  DeleteSharedPrimitives();
}

}  // namespace platform
