#pragma once
// Keeps one sound source on the recording's clock. Sound taken at a moment
// belongs at that moment's running time: a source that starts late, or
// stalls, has silence put in for what it owes, so the picture never waits
// long for it; sound that comes so late that silence already stands in for
// it is dropped. The first sound, and the first after a pause or a gap, is
// placed exactly; after that only an error beyond 200 ms is, and smaller
// ones are left to the drift control, which has the source's last
// resampler stretch or squeeze its sound. Used by the source's thread.

#include <chrono>
#include <cstdint>

#include "recorder/DriftControl.h"
#include "recorder/SoundFifo.h"
#include "recorder/Synchroniser.h"

struct SwrContext;

namespace kal {

class SoundClock {
 public:
  using Clock = Synchroniser::Clock;
  SoundClock(const Synchroniser& sync, int rate) : sync_(sync), rate_(rate) {}

  // Samples of silence owed for the time up to `upTo`.
  std::int64_t Missing(Clock::time_point upTo) const;
  // How many samples later than its place sound taken at `at` lands, with
  // `pending` samples taken before it still on their way (negative:
  // earlier).
  std::int64_t Lateness(Clock::time_point at, std::int64_t pending) const {
    return written_ + pending - Due(at);
  }

  // What to do before handing over sound taken from `taken` on: write
  // `silence` samples first, or drop its first `drop` samples.
  struct Placement {
    std::int64_t silence = 0;
    std::int64_t drop = 0;
  };
  Placement Place(Clock::time_point taken, std::int64_t pending) const;
  void Wrote(std::int64_t samples) {
    written_ += samples;
    if (samples > 0) fresh_ = false;
  }
  // Hands `samples` of silence over to `out` (waiting for room with
  // `waitForRoom`) and counts them written.
  void WriteSilence(SoundFifo& out, std::int64_t samples, bool waitForRoom);
  // Nothing came: silence stands in for sound more than 200 ms overdue at
  // `now`, so the picture does not wait, and the sound that ends the gap
  // is placed exactly.
  void FillOverdue(SoundFifo& out, Clock::time_point now, bool waitForRoom);
  // After a pause, or a gap silence stood in for: the next sound is placed
  // exactly. The clock's rate, which the drift control learnt, stays.
  void Rejoin();

  // After sound taken up to `takenUpTo` was handed over: the correction,
  // in samples a second, for the resampler that made it.
  int Follow(Clock::time_point takenUpTo, std::int64_t pending, Clock::time_point now);

 private:
  std::int64_t Due(Clock::time_point at) const { return sync_.RunningMicros(at) * rate_ / 1000000; }

  const Synchroniser& sync_;
  int rate_;
  std::int64_t written_ = 0;
  bool fresh_ = true;
  DriftControl drift_;
  Clock::time_point windowStart_{};  // of the half second being measured
  double windowLate_ = 0;             // the least delayed fragment's lateness in it
  int correction_ = 0;
};

// Has `swr` make `samplesPerSecond` more samples (fewer when negative) in
// each second it makes. It is asked again with every fragment: a
// compensation lapses once its distance has been resampled. False when the
// resampler refuses.
bool SetCorrection(SwrContext* swr, int samplesPerSecond, int outRate);

}  // namespace kal
