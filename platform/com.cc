#include "platform/com.h"

#include "platform/os_hooks.h"
#include "platform/testing.h"

namespace platform {

namespace {
thread_local ComCallCounts t_counts;
}  // namespace

ScopedCom::ScopedCom() : initialized_(InitializeSystemCom()) {
  if (initialized_) ++t_counts.initialized;
}

ScopedCom::~ScopedCom() {
  if (!initialized_) return;
  ++t_counts.released;
  UninitializeSystemCom();
}

ComCallCounts ComCallCountsOnThisThread() { return t_counts; }

}  // namespace platform
