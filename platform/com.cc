#include "platform/com.h"

#include "platform/os_hooks.h"
#include "platform/testing.h"

namespace platform {

namespace {
thread_local ComCallCounts t_counts;
}  // namespace

ScopedCom::ScopedCom() {
  ++t_counts.initialized;
  InitializeSystemCom();
}

ScopedCom::~ScopedCom() {
  ++t_counts.released;
  UninitializeSystemCom();
}

ComCallCounts ComCallCountsOnThisThread() { return t_counts; }

}  // namespace platform
