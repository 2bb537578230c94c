// A seam for tests of the update apply: lets a test act on the disk between
// moving a file aside and moving its download into place, as another program
// (a virus scanner, say) might.
#pragma once

#include <string>

// Called with the new path and the target path after the target was moved
// aside, before the new file is looked for; nullptr removes it.
using SwapHookForTesting = void (*)(const std::string& newPath, const std::string& targetPath);
void SetSwapHookForTesting(SwapHookForTesting hook);
