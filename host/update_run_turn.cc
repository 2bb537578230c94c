// One update run at a time in a process.
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>

#include "host/update_runs.h"
#include "log/common_log.h"

namespace {

struct Turns {
  std::mutex mutex;
  std::condition_variable freed;
  bool busy = false;
  std::thread::id owner;
};

Turns& ProcessTurns() {
  // Never destroyed: a process ending stops its threads wherever they are,
  // one perhaps waiting here, and destroying the condition then hangs the
  // library's unload. Built in the library's own storage, not the heap, so
  // that unloading the library leaks nothing.
  static std::aligned_storage_t<sizeof(Turns), alignof(Turns)> storage;
  static Turns* const turns = new (&storage) Turns;
  return *turns;
}

}  // namespace

UpdateRunTurn::UpdateRunTurn() {
  Turns& turns = ProcessTurns();
  std::unique_lock<std::mutex> hold(turns.mutex);
  // A run started from inside another on its own thread (a host answering a
  // message while a box is open) shares nothing with it and would otherwise
  // wait for itself.
  if (turns.busy && turns.owner == std::this_thread::get_id()) {
    taken_ = true;
    return;
  }
  if (turns.busy) {
    hold.unlock();
    g_log->Write(kLogLevel, "Another update run of this process is under way, waiting for it");
    hold.lock();
    if (!turns.freed.wait_for(hold, UpdateWaitBound(), [&] { return !turns.busy; })) {
      hold.unlock();
      g_log->Write(kLogLevel,
                   "Another update run of this process did not end within %s: this one gives up "
                   "and changes nothing",
                   UpdateWaitBoundText().c_str());
      return;
    }
  }
  turns.busy = true;
  turns.owner = std::this_thread::get_id();
  taken_ = true;
  owns_ = true;
}

UpdateRunTurn::~UpdateRunTurn() {
  if (!owns_) return;
  Turns& turns = ProcessTurns();
  {
    const std::lock_guard<std::mutex> hold(turns.mutex);
    turns.busy = false;
    turns.owner = std::thread::id();
  }
  turns.freed.notify_one();
}
