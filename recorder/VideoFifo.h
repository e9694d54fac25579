#pragma once
// FIFO of whole converted pictures (yuv420p planes back to back, 64-byte
// aligned) between the decode thread (only writer) and the encode thread
// (only reader). Pictures are written and read in place: the writer
// converts straight into a free slot and commits it; the reader encodes
// from the oldest slot and releases it when the encoder lets go of it. Slot
// bookkeeping is made under Lock(); each side wakes the other after it.
// Slots are allocated when first needed and the most recently freed one is
// used next, so memory follows the backlog that really occurs, not the
// bound.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace kal {

class VideoFifo {
 public:
  VideoFifo() = default;
  ~VideoFifo() { Free(); }
  VideoFifo(const VideoFifo&) = delete;
  VideoFifo& operator=(const VideoFifo&) = delete;

  // Room for up to `pictures` pictures of width x height, each allocated
  // when first needed. Owner thread only, while no worker runs.
  bool Allocate(int width, int height, int pictures = 34);
  void Free();

  std::mutex& Lock() { return lock_; }
  std::condition_variable& Cond() { return cond_; }

  // The following need Lock() held.
  bool HasRoom() const { return !free_.empty(); }
  bool HasPicture() const { return static_cast<int>(order_.size()) > reading_; }
  // Writer: the free slot to fill (HasRoom() must be true; nullptr when it
  // cannot be allocated), then Commit() once it is filled. The slot is the
  // writer's alone until then.
  std::uint8_t* FreeSlot();
  void Commit();
  // Reader: the oldest picture not yet taken (HasPicture() must be true).
  // It stays the reader's until Release().
  std::uint8_t* TakeOldest();

  // Reader: gives back the oldest taken picture. Takes Lock() itself and
  // wakes the writer; not to be called with Lock() held.
  void Release();

  int PictureSize() const { return pictureSize_; }
  int Capacity() const { return capacity_; }
  // Pictures held; lock-free estimate for statistics.
  int Depth() const { return depth_; }

 private:
  struct AvFree {
    void operator()(std::uint8_t* p) const;
  };
  std::mutex lock_;
  std::condition_variable cond_;
  std::vector<std::unique_ptr<std::uint8_t, AvFree>> slots_;
  int pictureSize_ = 0;
  int capacity_ = 0;
  std::vector<int> free_;   // slots to write, the next one last
  std::deque<int> order_;   // committed slots, oldest first
  int writing_ = -1;        // the slot the writer fills
  int reading_ = 0;         // committed slots taken by the reader, from the front
  std::atomic<int> depth_{0};
};

}  // namespace kal
