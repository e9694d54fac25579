#include "recorder/PacketQueue.h"

namespace kal {

void PacketQueue::PushBack(PacketPtr packet) {
  std::lock_guard<std::mutex> lock(lock_);
  packets_.push_back(std::move(packet));
  size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
}

PacketPtr PacketQueue::PopFront() {
  std::lock_guard<std::mutex> lock(lock_);
  if (packets_.empty()) return nullptr;
  PacketPtr p = std::move(packets_.front());
  packets_.pop_front();
  size_.store(static_cast<int>(packets_.size()), std::memory_order_relaxed);
  return p;
}

void PacketQueue::Clear() {
  std::lock_guard<std::mutex> lock(lock_);
  packets_.clear();
  size_.store(0, std::memory_order_relaxed);
}

}  // namespace kal
