#include "platform/progress_display.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace platform {
namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

struct ProgressDisplay::State {
  bool terminal = isatty(STDERR_FILENO) == 1;
  bool shown = false;
  bool closed = false;
};

ProgressDisplay::ProgressDisplay() : state_(std::make_unique<State>()) {}

ProgressDisplay::~ProgressDisplay() { Close(); }

void ProgressDisplay::Show(const ProgressView& view) {
  if (state_->closed || !state_->terminal) return;
  std::string line = "Updater: " + view.file + ": " + view.bytes;
  if (view.permille >= 0) line += " (" + std::to_string(view.permille / 10) + "%)";
  line += ", " + view.state;
  // Back to the line's start, the new text, and the rest of the old one gone.
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  state_->shown = true;
}

void ProgressDisplay::Close() {
  if (state_->shown && !state_->closed) {
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  state_->closed = true;
}

bool ProgressDisplay::CancelRequested() const { return g_interrupted != 0; }

void CatchInterruptSignals() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace platform
