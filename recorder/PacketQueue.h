#pragma once
// Queue of owned FFmpeg packets from a source stage to the converter.
// It owns its synchronisation: a bound (a push beyond it is refused, and the
// caller counts the picture dropped), a wait for data with a time-out, and
// Finish(), after which waiters wake at once and take what is left.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "recorder/FfmpegPtr.h"

namespace kal {

class PacketQueue {
 public:
  explicit PacketQueue(int bound = 34) : bound_(bound) {}
  ~PacketQueue() { Reset(); }
  PacketQueue(const PacketQueue&) = delete;
  PacketQueue& operator=(const PacketQueue&) = delete;

  // False, with the packet freed, when the queue holds its bound.
  bool TryPush(PacketPtr packet);
  // The oldest packet, waiting up to `wait` for one; nullptr when none came,
  // at once when the queue is empty and finished.
  PacketPtr Pop(std::chrono::milliseconds wait);
  // No more packets will come (the reader has ended): every waiter wakes,
  // takes what is left, and waits no more.
  void Finish();
  // The stop: wakes the waiter. It goes on taking what the reader still
  // queues until the reader's Finish(), so the picture being grabbed at the
  // stop is not lost.
  void Abort();
  bool Finished() const { return finished_.load(); }
  // Empty and open again, for a new session.
  void Reset();
  // Lock-free read for statistics.
  int Size() const { return size_.load(std::memory_order_relaxed); }

 private:
  const int bound_;
  std::mutex lock_;
  std::condition_variable cond_;
  std::deque<PacketPtr> packets_;
  std::atomic<int> size_{0};
  std::atomic<bool> finished_{false};
};

}  // namespace kal
