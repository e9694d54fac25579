#pragma once
// Double-ended queue of owned FFmpeg packets under its own lock. Producers
// enforce their own limits (34 in the engine); the queue never blocks.

#include <atomic>
#include <deque>
#include <mutex>

#include "recorder/FfmpegPtr.h"

namespace kal {

class PacketQueue {
 public:
  PacketQueue() = default;
  ~PacketQueue() { Clear(); }
  PacketQueue(const PacketQueue&) = delete;
  PacketQueue& operator=(const PacketQueue&) = delete;

  void PushBack(PacketPtr packet);
  PacketPtr PopFront();  // null when empty
  // Lock-free read for limits and statistics.
  int Size() const { return size_.load(std::memory_order_relaxed); }
  void Clear();  // frees every packet

 private:
  std::mutex lock_;
  std::deque<PacketPtr> packets_;
  std::atomic<int> size_{0};
};

}  // namespace kal
