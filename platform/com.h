// COM on the calling thread for as long as a ScopedCom lives (CoInitialize /
// CoUninitialize on Windows; nothing to do elsewhere).
#pragma once

namespace platform {

// The system's answer is not examined.
class ScopedCom {
 public:
  ScopedCom();
  ~ScopedCom();
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
};

}  // namespace platform
