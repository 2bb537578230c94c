// COM on the calling thread (CoInitialize / CoUninitialize on Windows; nothing
// to do elsewhere).
#pragma once

namespace platform {

// The system's answer is not examined.
void InitializeCom();
void UninitializeCom();

// How often this thread has called each of the two, for tests that check the
// calls pair up on every path.
struct ComCallCounts {
  int initialized = 0;
  int released = 0;
};
ComCallCounts ComCallCountsOnThisThread();

}  // namespace platform
