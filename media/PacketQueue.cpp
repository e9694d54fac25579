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

Popped PacketQueue::Pop(std::chrono::milliseconds wait, PacketPtr* packet, int* serial) {
  std::unique_lock<std::mutex> lock(lock_);
  if (wait.count() > 0)
    cond_.wait_for(lock, wait, [this] { return !packets_.empty() || closed_.load(); });
  if (packets_.empty()) return closed_ ? Popped::kClosed : Popped::kNothingYet;
  Entry e = std::move(packets_.front());
  packets_.pop_front();
  size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  if (serial) *serial = e.serial;
  *packet = std::move(e.packet);
  return Popped::kItem;
}

void PacketQueue::Close() {
  ChangeAndWakeAll(lock_, cond_, [this] { closed_ = true; });
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

}  // namespace kal
