// A recursive lock with the semantics of a Windows critical section: the owner
// may enter again (one leave per enter) and only the owner leaves.
#pragma once

namespace platform {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  // Explicit, so that the owner decides when the OS object lives (library load
  // and unload), not static construction order.
  void Initialize();
  void Delete();

  void Enter();
  // Nonzero when the calling thread now owns the section, 0 when another does.
  int TryEnter();
  // False, leaving the section as it is, when the calling thread does not
  // own it: a Windows critical section left by another thread is corrupted,
  // and later callers can hang.
  bool Leave();

 private:
  alignas(16) unsigned char storage_[64];
};

}  // namespace platform
