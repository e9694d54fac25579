#pragma once
// Keeps a sound source on the recording's clock. From the moment capture
// runs, the source owes `rate` samples a second; a source whose sound comes
// late (a server that starts slowly, a stall) has silence put in for what it
// owes, so its sound keeps its place against the picture and the encoder
// never waits long for it. Used by one thread.

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kal {

class SoundTimeline {
 public:
  using Clock = std::chrono::steady_clock;
  explicit SoundTimeline(int rate) : rate_(rate) {}

  // Capture runs from `now` (the start, or a resume after a pause).
  void Anchor(Clock::time_point now) {
    anchorTime_ = now;
    anchorWritten_ = written_;
    anchored_ = true;
    fresh_ = true;
  }
  // Capture does not run (paused): the next Anchor starts a new stretch.
  void Reset() { anchored_ = false; }
  bool Anchored() const { return anchored_; }
  // Nothing handed over since the anchor: the first sound is placed
  // exactly, later sound only when it stands far from its place.
  bool Fresh() const { return fresh_; }
  // Silence stood in for a gap: the sound that ends it is placed exactly.
  void Rejoin() { fresh_ = true; }

  // How many samples later than its capture time `at` the sound taken then
  // lands, when `pending` samples taken before it are still on their way
  // (negative: earlier).
  std::int64_t Lateness(Clock::time_point at, std::int64_t pending) const {
    return written_ + pending - Due(at);
  }

  // Samples owed for the time up to `upTo` beyond what was handed over.
  std::int64_t Missing(Clock::time_point upTo) const {
    if (!anchored_ || upTo <= anchorTime_) return 0;
    return std::max<std::int64_t>(0, Due(upTo) - written_);
  }
  // Samples handed over beyond what the time up to `upTo` owes: sound that
  // came so late that silence already stands in for it.
  std::int64_t Ahead(Clock::time_point upTo) const {
    if (!anchored_) return 0;
    return std::max<std::int64_t>(0, written_ - Due(upTo));
  }
  void Wrote(std::int64_t samples) {
    written_ += samples;
    if (samples > 0) fresh_ = false;
  }

 private:
  // Where in the recording sound taken at `at` belongs.
  std::int64_t Due(Clock::time_point at) const {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at - anchorTime_).count();
    return anchorWritten_ + micros * rate_ / 1000000;
  }

  int rate_;
  bool anchored_ = false;
  bool fresh_ = false;
  Clock::time_point anchorTime_{};
  std::int64_t anchorWritten_ = 0;
  std::int64_t written_ = 0;
};

}  // namespace kal
