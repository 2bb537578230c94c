// The download's time-out and retry pauses, and the failures of its own that
// pass when tried again; tests shorten the waits.
#include <atomic>

#include "platform/http.h"
#include "platform/testing.h"

namespace platform {
namespace {

std::atomic<bool> g_timingOverridden{false};
DownloadTiming g_testTiming;

}  // namespace

DownloadTiming CurrentDownloadTiming() {
  return g_timingOverridden.load(std::memory_order_acquire) ? g_testTiming : DownloadTiming();
}

void SetDownloadTimingForTesting(const DownloadTiming* timing) {
  g_timingOverridden.store(false, std::memory_order_release);
  if (timing == nullptr) return;
  g_testTiming = *timing;
  g_timingOverridden.store(true, std::memory_order_release);
}

bool IsPassingHttpFailure(std::int32_t code) {
  if (code == kIncompleteBodyError) return true;
  if (code < kHttpStatusErrorBase || code > kHttpStatusErrorLast) return false;
  const std::int32_t status = code - kHttpStatusErrorBase;
  // Timed out, too many requests, or the server's own trouble.
  return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

}  // namespace platform
