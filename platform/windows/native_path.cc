#include "platform/native_path.h"

#include "platform/windows/wide_text.h"

namespace platform {

NativePath NativePathOf(const std::string& narrow) { return NativePath(WidenAnsi(narrow)); }

bool NarrowCanName(const NativePath& path) {
  return AnsiRoundTrips(path.native().c_str(), path.native().size());
}

}  // namespace platform
