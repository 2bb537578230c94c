#include "platform/clock.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<NowFunction> g_now_override{nullptr};
}  // namespace

std::time_t Now() {
  NowFunction now = g_now_override.load(std::memory_order_acquire);
  return now ? now() : std::time(nullptr);
}

void SetNowForTesting(NowFunction now) { g_now_override.store(now, std::memory_order_release); }

}  // namespace platform
