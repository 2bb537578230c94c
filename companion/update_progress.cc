#include "companion/update_progress.h"

#include <cstdio>

UpdateProgress::UpdateProgress(Clock::duration delay) : showFrom_(Clock::now() + delay) {}

void UpdateProgress::Downloading(const std::string& name, int index, int count) {
  name_ = name;
  index_ = index;
  count_ = count;
  received_ = 0;
  total_ = -1;
  phase_ = Phase::kDownloading;
  Refresh(true);
}

void UpdateProgress::Received(std::uint64_t received, std::int64_t total) {
  const bool phaseChanged = phase_ != Phase::kDownloading;
  received_ = received;
  total_ = total;
  phase_ = Phase::kDownloading;
  Refresh(phaseChanged);
}

void UpdateProgress::Retrying(int seconds) {
  phase_ = Phase::kRetrying;
  retrySeconds_ = seconds;
  received_ = 0;
  Refresh(true);
}

void UpdateProgress::Installing(const std::string& name) {
  name_ = name;
  phase_ = Phase::kInstalling;
  Refresh(true);
}

bool UpdateProgress::Cancelled() { return display_.CancelRequested(); }

void UpdateProgress::Finished() { display_.Close(); }

platform::ProgressView UpdateProgress::View() const {
  platform::ProgressView view;
  view.file = name_;
  if (count_ > 0) {
    view.file += ", file " + std::to_string(index_) + " of " + std::to_string(count_);
  }
  view.bytes = ByteCountText(received_);
  if (total_ >= 0) {
    view.bytes += " of " + ByteCountText(static_cast<std::uint64_t>(total_));
    view.permille =
        total_ > 0 ? static_cast<int>(received_ * 1000 / static_cast<std::uint64_t>(total_)) : 1000;
  }
  switch (phase_) {
    case Phase::kDownloading:
      view.state = "Downloading";
      break;
    case Phase::kRetrying:
      view.state = "Retrying in " + std::to_string(retrySeconds_) + " s";
      break;
    case Phase::kInstalling:
      view.state = "Installing";
      view.permille = 1000;
      break;
  }
  return view;
}

void UpdateProgress::Refresh(bool phaseChanged) {
  const Clock::time_point now = Clock::now();
  if (!shown_) {
    // Installing alone never opens it: the downloads are over.
    if (now < showFrom_ || phase_ == Phase::kInstalling) return;
    shown_ = true;
  } else if (!phaseChanged && now - lastShown_ < std::chrono::milliseconds(100)) {
    return;
  }
  lastShown_ = now;
  display_.Show(View());
}

std::string ByteCountText(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}
