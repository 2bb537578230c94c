// The companion's view of an update under way: a window titled "Updater
// Progress" with a progress bar and Cancel on Windows, elsewhere one line
// rewritten in place on standard error when that is a terminal. Never used
// by the library in the terminal's process.
#pragma once

#include <memory>
#include <string>

namespace platform {

struct ProgressView {
  std::string file;   // "Acme.dll, file 2 of 3"
  std::string bytes;  // "1.2 MiB of 5.0 MiB"
  std::string state;  // "Downloading", "Retrying in 3 s", "Installing", ...
  int permille = -1;  // of the file; -1 when its length is unknown
};

class ProgressDisplay {
 public:
  ProgressDisplay();
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // Shows `view`, opening the display on the first call (the window on a
  // thread of its own, so that it answers while a download stalls).
  void Show(const ProgressView& view);
  // Closes it for good; later calls of Show do nothing.
  void Close();
  // Whether the user asked to cancel: the Cancel button, Escape or the
  // window's close button; SIGINT or SIGTERM where those exist.
  bool CancelRequested() const;

  // The platform's own, opaque here.
  struct State;

 private:
  std::unique_ptr<State> state_;
};

// From now on SIGINT and SIGTERM, where the system has them, ask for a
// cancel (CancelRequested) instead of ending the process mid-swap.
void CatchInterruptSignals();

}  // namespace platform
