#pragma once
// FIFO of whole converted pictures (yuv420p planes back to back, 64-byte
// aligned) between the decode thread (only writer) and the encode thread
// (only reader). Pictures are written and read in place: the writer
// converts straight into a free slot and commits it; the reader encodes
// from the oldest slot and releases it when the encoder lets go of it. Slot
// bookkeeping is made under the FIFO's lock, and each side waits on it.
// Slots are allocated when first needed and the most recently freed one is
// used next, so memory follows the backlog that really occurs, not the
// bound.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/PacketQueue.h"
#include "media/Popped.h"

namespace kal {

class VideoFifo {
 public:
  VideoFifo() = default;
  ~VideoFifo() { Free(); }
  VideoFifo(const VideoFifo&) = delete;
  VideoFifo& operator=(const VideoFifo&) = delete;

  // Room for up to `pictures` pictures of width x height, each allocated
  // when first needed; open and not aborted. Owner thread only, while no
  // worker runs.
  bool Allocate(int width, int height, int pictures = kStageQueueBound);
  void Free();

  // Writer: the next free slot, once there is room. nullptr when the
  // reader has ended or no memory is left for another slot. The slot is the
  // writer's alone until Commit().
  std::uint8_t* WaitFreeSlot();
  // `pts`: the picture's place on the picture grid, handed to the reader.
  void Commit(std::int64_t pts = 0);
  // Writer: nothing more comes; the reader takes the rest and then finds
  // the FIFO closed.
  void Close();

  // Reader: the oldest picture not yet taken into `picture`, waiting up to
  // `wait`. The wait ends early once the writer has closed or on Abort(). A
  // drain instead waits as long as the writer still converts, so it never
  // ends with nothing yet. The slot stays the reader's until Release().
  Popped TakeOldest(std::chrono::milliseconds wait, bool draining, std::uint8_t** picture,
                    std::int64_t* pts = nullptr);
  // Reader: gives back the oldest taken picture (any thread; the encoder
  // lets go of it from its own).
  void Release();
  // Reader: gone; the writer's waits for room end.
  void EndReading();

  // The stop: the reader waits for no further picture while recording.
  // Pictures already converted, and those the writer still converts from
  // what was grabbed, are drained.
  void Abort();

  int PictureSize() const { return pictureSize_; }
  int Capacity() const { return capacity_; }
  // Pictures held; lock-free estimate for statistics.
  int Depth() const { return depth_; }

 private:
  struct AvFree {
    void operator()(std::uint8_t* p) const;
  };
  bool HasPicture() const { return static_cast<int>(order_.size()) > reading_; }

  std::mutex lock_;
  std::condition_variable cond_;
  std::vector<std::unique_ptr<std::uint8_t, AvFree>> slots_;
  int pictureSize_ = 0;
  int capacity_ = 0;
  std::vector<int> free_;   // slots to write, the next one last
  struct Held {
    int slot;
    std::int64_t pts;
  };
  std::deque<Held> order_;  // committed slots, oldest first
  int writing_ = -1;        // the slot the writer fills
  int reading_ = 0;         // committed slots taken by the reader, from the front
  bool writerEnded_ = false;
  bool readerEnded_ = false;
  bool aborted_ = false;
  std::atomic<int> depth_{0};
};

}  // namespace kal
