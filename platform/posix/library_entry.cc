// Load and unload hooks of the shared object: a static object constructed
// after the library's other statics are ready and destroyed when it unloads.
#include "platform/library_entry.h"

namespace {

struct LibraryLifetime {
  LibraryLifetime() { platform::OnLibraryLoad(); }
  ~LibraryLifetime() { platform::OnLibraryUnload(false); }
};

LibraryLifetime g_lifetime;

}  // namespace
