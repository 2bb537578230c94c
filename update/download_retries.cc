// DownloadTryingAgain: a download that survives a dropped connection, a stall
// or a busy server, and that the user can stop.
#include <algorithm>
#include <chrono>
#include <thread>

#include "log/common_log.h"
#include "update/update.h"
#include "update/update_observer.h"

namespace {

// Hands the download's progress to the update's observer.
class ObservedProgress : public platform::DownloadProgress {
 public:
  explicit ObservedProgress(IUpdateObserver* observer) : observer_(observer) {}
  bool Continue(std::uint64_t received, std::int64_t total) override {
    observer_->Received(received, total);
    return !observer_->Cancelled();
  }

 private:
  IUpdateObserver* observer_;
};

std::string TrimmedErrorText(std::int32_t code) {
  std::string text = GetErrorText(code);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

// Waits `milliseconds`; false when the user cancelled meanwhile.
bool Pause(int milliseconds, IUpdateObserver* observer) {
  constexpr int kStepMs = 50;
  for (int waited = 0; waited < milliseconds; waited += kStepMs) {
    if (observer != nullptr && observer->Cancelled()) return false;
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::min(kStepMs, milliseconds - waited)));
  }
  return observer == nullptr || !observer->Cancelled();
}

}  // namespace

std::int32_t DownloadTryingAgain(std::uint32_t* received, std::string* responseText,
                                 const std::string& url, const std::string& path,
                                 IUpdateObserver* observer) {
  const platform::DownloadTiming timing = platform::CurrentDownloadTiming();
  const std::string initialText = *responseText;
  ObservedProgress progress(observer);
  std::int32_t result = 0;
  for (int retry = 0;; ++retry) {
    *responseText = initialText;
    result =
        DownloadFile(received, responseText, url, path, observer != nullptr ? &progress : nullptr);
    if (result == 0 || !platform::IsPassingFailure(result) || retry == 2) break;
    const int delayMs = timing.retryDelaysMs[retry];
    const int seconds = (delayMs + 999) / 1000;
    g_log->Write(kLogLevel, "Download of %s failed with error code %d (%s); trying again in %d s",
                 url.c_str(), result, TrimmedErrorText(result).c_str(), seconds);
    if (observer != nullptr) observer->Retrying(seconds);
    if (!Pause(delayMs, observer)) return platform::kCancelledError;
  }
  return result;
}

void LogUpdateCancelled(std::int32_t installed) {
  g_log->Write(kLogLevel, "Update cancelled by the user: %d files installed before the cancel",
               installed);
}
