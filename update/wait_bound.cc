// How long an update run waits for another one before it gives up.
#include <atomic>
#include <chrono>
#include <string>

#include "update/apply_testing.h"
#include "update/update.h"

namespace {

constexpr std::chrono::milliseconds kWaitBound = std::chrono::minutes(10);

std::atomic<std::chrono::milliseconds::rep> g_waitBound{kWaitBound.count()};

}  // namespace

std::chrono::milliseconds UpdateWaitBound() {
  return std::chrono::milliseconds(g_waitBound.load());
}

std::string UpdateWaitBoundText() {
  const std::chrono::milliseconds bound = UpdateWaitBound();
  if (bound.count() % 60000 == 0) return std::to_string(bound.count() / 60000) + " minutes";
  return std::to_string(bound.count()) + " ms";
}

void SetUpdateWaitBoundForTesting(std::chrono::milliseconds bound) {
  g_waitBound.store(bound.count() > 0 ? bound.count() : kWaitBound.count());
}
