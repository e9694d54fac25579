#pragma once
// Stereo planar float sound from one capture thread (the writer) to the
// encoder (the reader). It owns its synchronisation: the writer may wait for
// room, the reader waits for a frame's worth with a time-out, the writer's
// Close() says nothing more comes, and Abort() (the stop) wakes every
// waiter and ends every later wait except a drain's wait for the writer's
// last block.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "media/FfmpegPtr.h"
#include "media/Popped.h"

namespace kal {

class SoundFifo {
 public:
  // Room for `samples` sample frames; empty, open and not aborted. Owner
  // thread, while no worker runs.
  bool Allocate(int samples);
  void Free();

  // Writer. With `waitForRoom` it never overwrites: it waits for room and
  // fails only once aborted. Without, the FIFO grows.
  bool Write(std::uint8_t* const* planes, int samples, bool waitForRoom);
  void Close();

  // Reader: waits up to `wait` for `samples` (an item when they are there;
  // closed when the writer has closed with fewer left). The wait ends early
  // on Abort unless `draining` (a drain waits for what the writer still
  // hands over).
  Popped WaitFor(int samples, std::chrono::milliseconds wait, bool draining);
  // Reads up to `samples` into `planes`, silence for what is missing.
  // Returns how many were real sound.
  int Read(std::uint8_t* const* planes, int samples);

  void Abort();
  bool Aborted() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable cond_;
  AudioFifoPtr fifo_;
  bool closed_ = false;
  bool aborted_ = false;
};

}  // namespace kal
