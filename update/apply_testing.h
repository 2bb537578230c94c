// Seams for tests of the update runs: a test may act on the disk between
// moving a file aside and moving its download into place, as another program
// (a virus scanner, say) might, and may shorten the waits for other runs.
#pragma once

#include <chrono>
#include <string>

// Called with the new path and the target path after the target was moved
// aside, before the new file is looked for; nullptr removes it.
using SwapHookForTesting = void (*)(const std::string& newPath, const std::string& targetPath);
void SetSwapHookForTesting(SwapHookForTesting hook);

// Replaces the 10 minutes an update run waits for another; zero restores them.
void SetUpdateWaitBoundForTesting(std::chrono::milliseconds bound);
