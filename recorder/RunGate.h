#pragma once
// Whether a session captures: shut until Run, shut again by Pause, aborted
// by Stop. The screen reader, the camera reader and the encoder wait at it.
// A wait re-checks at least every `recheck` (the pacing clock counts each
// step of a pause), and ends at once on Abort.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "media/WakeAll.h"

namespace kal {

class RunGate {
 public:
  void Open() { Set(true, false); }
  void Shut() { Set(false, false); }
  // Every wait returns false from now on, at once.
  void Abort() { Set(false, true); }
  bool IsOpen() const { return open_.load(); }
  bool Aborted() const { return aborted_.load(); }

  // Waits while shut; true when open, false once aborted. `step` runs
  // around each bounded wait: step(true) before it, step(false) after.
  template <typename Step>
  bool WaitOpen(std::chrono::milliseconds recheck, Step step) {
    std::unique_lock<std::mutex> lock(lock_);
    while (!open_ && !aborted_) {
      step(true);
      cond_.wait_for(lock, recheck);
      step(false);
    }
    return !aborted_;
  }
  bool WaitOpen(std::chrono::milliseconds recheck) {
    return WaitOpen(recheck, [](bool) {});
  }

 private:
  void Set(bool open, bool aborted) {
    ChangeAndWakeAll(lock_, cond_, [&] {
      open_ = open;
      if (aborted) aborted_ = true;
    });
  }

  std::mutex lock_;
  std::condition_variable cond_;
  std::atomic<bool> open_{false};
  std::atomic<bool> aborted_{false};
};

}  // namespace kal
