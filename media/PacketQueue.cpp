#include "media/PacketQueue.h"
#include "media/WakeAll.h"

namespace kal {

bool PacketQueue::TryPush(PacketPtr packet, int serial) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (serial != serial_.load()) return true;  // read before a seek: dropped
    if (static_cast<int>(packets_.size()) >= bound_) return false;
    packets_.push_back({std::move(packet), serial});
    size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  }
  cond_.notify_one();
  return true;
}

PacketPtr PacketQueue::Pop(std::chrono::milliseconds wait, int* serial) {
  std::unique_lock<std::mutex> lock(lock_);
  if (wait.count() > 0)
    cond_.wait_for(lock, wait, [this] { return !packets_.empty() || finished_.load(); });
  if (packets_.empty()) return nullptr;
  Entry e = std::move(packets_.front());
  packets_.pop_front();
  size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  if (serial) *serial = e.serial;
  return std::move(e.packet);
}

void PacketQueue::Finish() {
  ChangeAndWakeAll(lock_, cond_, [this] { finished_ = true; });
}

void PacketQueue::Abort() {
  ChangeAndWakeAll(lock_, cond_, [] {});
}

void PacketQueue::Flush() {
  ChangeAndWakeAll(lock_, cond_, [this] {
    packets_.clear();
    size_.store(0, std::memory_order_relaxed);
    ++serial_;
  });
}

void PacketQueue::Reset() {
  std::lock_guard<std::mutex> lock(lock_);
  packets_.clear();
  size_.store(0, std::memory_order_relaxed);
  finished_ = false;
}

}  // namespace kal
