#pragma once
// Queue of owned FFmpeg packets from a reader to its decoder. It owns its
// synchronisation: a bound (a push beyond it is refused, and the caller
// counts the packet dropped or waits), a pop that waits with a time-out,
// Close() for the writer's end (waiters wake at once and take what is
// left) and Abort() for the stop.
//
// A player seeks by Flush(): the queue empties and its serial moves on. A
// reader tags each push with the serial it read under (taken with the read,
// under its demux lock), so a packet read before a seek and pushed after it
// is dropped, never decoded at the new place; a decoder that pops a packet
// of a new serial knows to flush its own buffers first.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "media/FfmpegPtr.h"
#include "media/Popped.h"

namespace kal {

// How many items a queue between two stages (packets, pictures) holds:
// about a second and a half at 24 pictures a second, so a short stall of
// the reader costs nothing and a long one drops pictures, not memory.
constexpr int kStageQueueBound = 34;

class PacketQueue {
 public:
  explicit PacketQueue(int bound = kStageQueueBound) : bound_(bound) {}
  PacketQueue(const PacketQueue&) = delete;
  PacketQueue& operator=(const PacketQueue&) = delete;

  // False, with the packet freed, when the queue holds its bound.
  bool TryPush(PacketPtr packet) { return TryPush(std::move(packet), Serial()); }
  // As above; a packet of an older `serial` than the queue's is freed (true:
  // it needs no retry).
  bool TryPush(PacketPtr packet, int serial);
  // The oldest packet into `packet`, waiting up to `wait` for one; closed
  // at once when the queue is empty and closed. `serial` receives the
  // packet's.
  Popped Pop(std::chrono::milliseconds wait, PacketPtr* packet, int* serial = nullptr);
  // No more packets will come (the writer has ended): every waiter wakes,
  // takes what is left, and then finds the queue closed.
  void Close();
  // The stop: wakes the waiter. It goes on taking what the writer still
  // queues until the writer's Close(), so the picture being grabbed at the
  // stop is not lost.
  void Abort();
  bool Closed() const { return closed_.load(); }
  // Empties the queue and starts a new serial (a seek); stays open.
  void Flush();
  int Serial() const { return serial_.load(); }
  // Lock-free reads for statistics and for a reader that waits while full.
  int Size() const { return size_.load(std::memory_order_relaxed); }
  bool Full() const { return Size() >= bound_; }

 private:
  struct Entry {
    PacketPtr packet;
    int serial;
  };
  const int bound_;
  std::mutex lock_;
  std::condition_variable cond_;
  std::deque<Entry> packets_;
  std::atomic<int> size_{0};
  std::atomic<int> serial_{0};
  std::atomic<bool> closed_{false};
};

}  // namespace kal
