#include "platform/com.h"

namespace platform {

void InitializeSystemCom();
void UninitializeSystemCom();

namespace {
thread_local ComCallCounts t_counts;
}  // namespace

void InitializeCom() {
  ++t_counts.initialized;
  InitializeSystemCom();
}

void UninitializeCom() {
  ++t_counts.released;
  UninitializeSystemCom();
}

ComCallCounts ComCallCountsOnThisThread() { return t_counts; }

}  // namespace platform
