#pragma once
// FIFO of whole converted pictures (yuv420p planes back to back) between the
// decode thread (only writer) and the encode thread (only reader). Every
// access is made under Lock(); each side wakes the other after its access.

#include <condition_variable>
#include <cstdint>
#include <atomic>
#include <mutex>

struct AVFifo;

namespace kal {

class VideoFifo {
 public:
  VideoFifo() = default;
  ~VideoFifo() { Free(); }
  VideoFifo(const VideoFifo&) = delete;
  VideoFifo& operator=(const VideoFifo&) = delete;

  // Room for `pictures` pictures of width x height; on failure retried with
  // 4 fewer, giving up at 2 or fewer. Logs the sizes. Owner thread only,
  // while no worker runs.
  bool Allocate(int width, int height, int pictures = 34);
  void Free();

  std::mutex& Lock() { return lock_; }
  std::condition_variable& Cond() { return cond_; }

  // The following need Lock() held.
  bool HasRoom() const;
  bool HasPicture() const;
  void Write(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v);
  void Read(std::uint8_t* picture);

  int PictureSize() const { return pictureSize_; }
  int Capacity() const { return capacity_; }
  // Pictures held; lock-free estimate for statistics.
  int Depth() const { return depth_; }

 private:
  std::mutex lock_;
  std::condition_variable cond_;
  AVFifo* fifo_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int pictureSize_ = 0;
  int capacity_ = 0;
  std::atomic<int> depth_{0};
};

}  // namespace kal
