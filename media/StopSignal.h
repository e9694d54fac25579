#pragma once
// A stop that a worker's pauses wake from: the worker looks at Stopped()
// and sleeps with Wait(), which returns at once when Stop() comes. Any
// thread.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kal {

class StopSignal {
 public:
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopped_ = true;
    }
    cond_.notify_all();
  }
  // For the next run, before its worker starts.
  void Reset() {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = false;
  }
  bool Stopped() {
    std::lock_guard<std::mutex> hold(lock_);
    return stopped_;
  }
  // Waits up to `wait`; false when stopped.
  bool Wait(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> l(lock_);
    return !cond_.wait_for(l, wait, [this] { return stopped_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable cond_;
  bool stopped_ = false;
};

}  // namespace kal
