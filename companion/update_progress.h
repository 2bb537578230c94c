// What the companion shows of the update it runs: the progress display,
// opened once the update has run for about a second and is still
// downloading, so that a fast update never flashes a window.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/progress_display.h"
#include "update/update_observer.h"

class UpdateProgress : public IUpdateObserver {
 public:
  using Clock = std::chrono::steady_clock;
  // `delay` from now before anything is shown.
  explicit UpdateProgress(Clock::duration delay = std::chrono::seconds(1));

  void Downloading(const std::string& name, int index, int count) override;
  void Received(std::uint64_t received, std::int64_t total) override;
  void Retrying(int seconds) override;
  void Installing(const std::string& name) override;
  bool Cancelled() override;
  void Finished() override;

  // The text the display shows for the present state.
  platform::ProgressView View() const;

 private:
  enum class Phase { kDownloading, kRetrying, kInstalling };
  // Shows the state when it is time to, at most ten times a second unless
  // the phase changed.
  void Refresh(bool phaseChanged);

  platform::ProgressDisplay display_;
  Clock::time_point showFrom_;
  Clock::time_point lastShown_;
  bool shown_ = false;
  std::string name_;
  int index_ = 0;
  int count_ = 0;
  std::uint64_t received_ = 0;
  std::int64_t total_ = -1;
  Phase phase_ = Phase::kDownloading;
  int retrySeconds_ = 0;
};

// "512 bytes", "1.5 KiB", "12.0 MiB".
std::string ByteCountText(std::uint64_t bytes);
