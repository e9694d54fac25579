#include "recorder/PacketQueue.h"
#include "recorder/WakeAll.h"

namespace kal {

bool PacketQueue::TryPush(PacketPtr packet) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (static_cast<int>(packets_.size()) >= bound_) return false;
    packets_.push_back(std::move(packet));
    size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  }
  cond_.notify_one();
  return true;
}

PacketPtr PacketQueue::Pop(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(lock_);
  cond_.wait_for(lock, wait, [this] { return !packets_.empty() || finished_.load(); });
  if (packets_.empty()) return nullptr;
  PacketPtr p = std::move(packets_.front());
  packets_.pop_front();
  size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  return p;
}

void PacketQueue::Finish() {
  ChangeAndWakeAll(lock_, cond_, [this] { finished_ = true; });
}

void PacketQueue::Abort() {
  ChangeAndWakeAll(lock_, cond_, [] {});
}

void PacketQueue::Reset() {
  std::lock_guard<std::mutex> lock(lock_);
  packets_.clear();
  size_.store(0, std::memory_order_relaxed);
  finished_ = false;
}

}  // namespace kal
