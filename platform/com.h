// COM on the calling thread for as long as a ScopedCom lives (CoInitialize /
// CoUninitialize on Windows; nothing to do elsewhere).
#pragma once

namespace platform {

// Releases only what it initialised: on a thread the host has put in
// another apartment, initialising fails, and releasing would undo the host's
// own set-up.
class ScopedCom {
 public:
  ScopedCom();
  ~ScopedCom();
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;

 private:
  bool initialized_;
};

}  // namespace platform
