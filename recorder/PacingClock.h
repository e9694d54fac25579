#pragma once
// The screen reader's pacing: keeps the number of pictures grabbed equal to
// the running time (pauses excluded) times the frame rate, without bursts
// after a late grab.
//
// C is the target time in microseconds x frame rate, N the pictures grabbed,
// T the last reference point, P the running time accumulated before it.
// One object per reader thread; not thread-safe.

#include <chrono>
#include <cstdint>
#include <functional>

#include "recorder/RunGate.h"
#include "recorder/Synchroniser.h"

namespace kal {

class PacingClock {
 public:
  using NowFn = std::function<std::int64_t()>;        // microseconds, monotonic
  using SleepFn = std::function<void(std::int64_t)>;  // microseconds

  PacingClock(int frameRate, NowFn now, SleepFn sleep);
  // The recording's running time and av_usleep: the pictures are taken on
  // the clock the sound is placed by, and none while it stands still (a
  // pause), so the picture of running time t is the sound's of t.
  PacingClock(int frameRate, const Synchroniser& sync);

  void Begin();     // thread start
  void NextTurn();  // the target moves one picture interval ahead
  // Holding before the first picture (start alignment) or in a pause: the
  // time spent there does not count as running time.
  void HoldAtStart();
  void PauseStep();   // once per pause wait, before it
  void PauseResume(); // once per pause wait, after it
  // Sleeps until the next picture is due (returns at once when behind).
  // `stop` is polled between sleeps.
  void WaitForPicture(const std::function<bool()>& stop);
  void CountGrab() { ++grabbed_; }

  std::int64_t Grabbed() const { return grabbed_; }
  std::int64_t RunningMicros() const;
  std::int64_t ExpectedPictures() const;
  int FrameRate() const { return fps_; }

 private:
  std::int64_t IntervalMicros() const { return 1000000 / fps_; }
  int fps_;
  NowFn now_;
  SleepFn sleep_;
  std::int64_t target_ = 0;     // C
  std::int64_t grabbed_ = 0;    // N
  std::int64_t reference_ = 0;  // T
  std::int64_t paused_ = 0;     // P (running time before T)
};

// A paced reader's wait for its next picture: while `gate` is shut (a
// pause, not counted as running time, re-checked every `recheck`), then
// until the picture is due. False once the gate is aborted. `trace(true)`
// and `trace(false)` run around each pause wait.
bool WaitForTurn(PacingClock& clock, RunGate& gate, std::chrono::milliseconds recheck,
                 void (*trace)(bool before) = nullptr);

}  // namespace kal
