#include "recorder/PacingClock.h"

#include <cmath>

extern "C" {
#include <libavutil/time.h>
}

namespace kal {

// Sleeps longer than this are cut into pieces so that a stop is seen soon.
constexpr std::int64_t kMaxSleepMicros = 100000;

PacingClock::PacingClock(int frameRate, NowFn now, SleepFn sleep)
    : fps_(frameRate > 0 ? frameRate : 1), now_(std::move(now)), sleep_(std::move(sleep)) {}

void PacingClock::Begin() {
  const std::int64_t now = now_();
  target_ = now * fps_;
  reference_ = now;
  paused_ = 0;
  grabbed_ = 0;
}

void PacingClock::NextTurn() { target_ += 1000000; }

// The first picture is taken the moment the recording runs: it is the
// picture of time 0, where the sound begins too.
void PacingClock::HoldAtStart() {
  const std::int64_t now = now_();
  reference_ = now;
  target_ = now * fps_;
}

void PacingClock::PauseStep() { paused_ += now_() - reference_; }

// The next picture keeps its place on the grid of running time: picture N
// is due when the running time reaches N intervals.
void PacingClock::PauseResume() {
  const std::int64_t now = now_();
  reference_ = now;
  target_ = grabbed_ * 1000000 + (reference_ - paused_) * fps_;
}

PacingClock::PacingClock(int frameRate, const Synchroniser& sync)
    : PacingClock(
          frameRate, [&sync] { return sync.RunningMicros(Synchroniser::Clock::now()); },
          [](std::int64_t us) { av_usleep(static_cast<unsigned>(us)); }) {}

std::int64_t PacingClock::RunningMicros() const { return now_() + (paused_ - reference_); }

std::int64_t PacingClock::ExpectedPictures() const {
  return std::llround(static_cast<double>(RunningMicros()) / 1000000.0 * fps_);
}

void PacingClock::WaitForPicture(const std::function<bool()>& stop) {
  for (;;) {
    if (grabbed_ < ExpectedPictures()) {
      // Behind: grab now, and keep the grid. Moving the target to now would
      // shift every later picture by the lateness, up to an interval after
      // the slot it is written in.
      target_ = grabbed_ * 1000000 + (reference_ - paused_) * fps_;
      return;
    }
    const std::int64_t d = target_ / fps_ - now_();
    if (d > 0) {
      sleep_(d < kMaxSleepMicros ? d : kMaxSleepMicros);
      if (stop()) return;
      continue;
    }
    if (d < -IntervalMicros()) target_ += 1000000;  // far behind: no burst
    return;
  }
}

bool WaitForTurn(PacingClock& clock, RunGate& gate, std::chrono::milliseconds recheck,
                 void (*trace)(bool before)) {
  const bool open = gate.WaitOpen(recheck, [&clock, trace](bool before) {
    if (before) clock.PauseStep();
    if (trace) trace(before);
    if (!before) clock.PauseResume();
  });
  if (!open) return false;
  clock.WaitForPicture([&gate] { return gate.Aborted(); });
  return !gate.Aborted();
}

}  // namespace kal
