// Faults the tests bring about: Windows has no per-process file size limit,
// and its read-only attribute does not keep files out of a folder.
#include "platform/testing.h"

namespace platform {

bool LimitFileSizeForTesting(std::uint64_t) { return false; }
bool SetFolderReadOnlyForTesting(const std::string&, bool) { return false; }

}  // namespace platform
