#include "platform/clock.h"

#include <atomic>

#include "platform/testing.h"

namespace platform {
namespace {
std::atomic<NowFunction> g_nowOverride{nullptr};
}  // namespace

std::time_t Now() {
  NowFunction now = g_nowOverride.load(std::memory_order_acquire);
  return now ? now() : std::time(nullptr);
}

void SetNowForTesting(NowFunction now) { g_nowOverride.store(now, std::memory_order_release); }

}  // namespace platform
