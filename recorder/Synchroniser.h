#pragma once
// The recording's one clock. Running time counts from the moment the
// recording first runs and stands still in every pause. Each source places
// what it takes by the running time of the moment it was taken, so all of
// them start together and a pause cuts them all at the same moment,
// whichever thread notices the change first. The owner's thread says when
// the recording runs and pauses; any thread asks.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kal {

class Synchroniser {
 public:
  using Clock = std::chrono::steady_clock;

  void Run(Clock::time_point at);
  void Pause(Clock::time_point at);
  // Microseconds of running time up to `at`. A moment before the first run
  // is negative, as far before 0 as it was before the start; a moment in a
  // pause that has ended is as far before the time it ended at; one in the
  // pause that lasts counts as its beginning.
  std::int64_t RunningMicros(Clock::time_point at) const;
  // Whether the recording ran at `at`.
  bool RunningAt(Clock::time_point at) const;

 private:
  struct Stretch {
    Clock::time_point from;
    Clock::time_point to;  // Clock::time_point::max() while it lasts
  };
  mutable std::mutex lock_;
  std::vector<Stretch> stretches_;  // in order, never overlapping
};

}  // namespace kal
