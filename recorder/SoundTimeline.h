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
  }
  // Capture does not run (paused): the next Anchor starts a new stretch.
  void Reset() { anchored_ = false; }
  bool Anchored() const { return anchored_; }

  // Samples owed for the time up to `upTo` beyond what was handed over.
  std::int64_t Missing(Clock::time_point upTo) const {
    if (!anchored_ || upTo <= anchorTime_) return 0;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(upTo - anchorTime_).count();
    const std::int64_t due = anchorWritten_ + micros * rate_ / 1000000;
    return std::max<std::int64_t>(0, due - written_);
  }
  // Samples handed over beyond what the time up to `upTo` owes: sound that
  // came so late that silence already stands in for it.
  std::int64_t Ahead(Clock::time_point upTo) const {
    if (!anchored_) return 0;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(upTo - anchorTime_).count();
    return std::max<std::int64_t>(0, written_ - (anchorWritten_ + micros * rate_ / 1000000));
  }
  void Wrote(std::int64_t samples) { written_ += samples; }

 private:
  int rate_;
  bool anchored_ = false;
  Clock::time_point anchorTime_{};
  std::int64_t anchorWritten_ = 0;
  std::int64_t written_ = 0;
};

}  // namespace kal
