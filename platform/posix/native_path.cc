#include "platform/native_path.h"

namespace platform {

// Paths are bytes here, and narrow texts are those bytes.
NativePath NativePathOf(const std::string& narrow) { return NativePath(narrow); }

bool NarrowCanName(const NativePath&) { return true; }

}  // namespace platform
