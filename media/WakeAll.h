#pragma once
// Changes what the waiters at `cond` check, under `lock` so that none can
// miss the change between its check and its wait, then wakes them all.

#include <condition_variable>
#include <mutex>

namespace kal {

template <typename Change>
void ChangeAndWakeAll(std::mutex& lock, std::condition_variable& cond, Change change) {
  {
    std::lock_guard<std::mutex> hold(lock);
    change();
  }
  cond.notify_all();
}

}  // namespace kal
