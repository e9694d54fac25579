#include "recorder/SoundClock.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libswresample/swresample.h>
}

namespace kal {

std::int64_t SoundClock::Missing(Clock::time_point upTo) const {
  return std::max<std::int64_t>(0, Due(upTo) - written_);
}

SoundClock::Placement SoundClock::Place(Clock::time_point taken, std::int64_t pending) const {
  // 2 ms for the first sound: a sample's worth of rounding, no more.
  const std::int64_t limit = fresh_ ? rate_ * 2 / 1000 : rate_ / 5;
  const std::int64_t late = Lateness(taken, pending);
  Placement p;
  if (late < -limit) p.silence = -late;
  if (late > limit) p.drop = late;
  return p;
}

void SoundClock::WriteSilence(SoundFifo& out, std::int64_t samples, bool waitForRoom) {
  constexpr int kPiece = 4096;
  float zeros[kPiece] = {};
  std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(zeros),
                             reinterpret_cast<std::uint8_t*>(zeros)};
  while (samples > 0) {
    const int n = static_cast<int>(std::min<std::int64_t>(samples, kPiece));
    if (!out.Write(planes, n, waitForRoom)) return;
    Wrote(n);
    samples -= n;
  }
}

void SoundClock::FillOverdue(SoundFifo& out, Clock::time_point now, bool waitForRoom) {
  constexpr std::chrono::milliseconds kLateLimit{200};
  const std::int64_t overdue = Missing(now - kLateLimit);
  if (overdue <= 0) return;
  WriteSilence(out, overdue, waitForRoom);
  Rejoin();
}

void SoundClock::Rejoin() {
  fresh_ = true;
  drift_.Restart();
  windowStart_ = {};
}

// Sound reaches us late now and then (a busy machine, a sink that sends in
// bursts), never early, and sound that sat somewhere looks taken later than
// it was: it lands less late than it is. So the least delayed fragment of
// each half second tells the lateness, and the drift control hears it once
// per half second.
int SoundClock::Follow(Clock::time_point takenUpTo, std::int64_t pending, Clock::time_point now) {
  constexpr std::chrono::milliseconds kWindow{500};
  const double late = static_cast<double>(Lateness(takenUpTo, pending)) / rate_;
  if (windowStart_ == Clock::time_point{}) {
    windowStart_ = now;
    windowLate_ = late;
  }
  windowLate_ = std::max(windowLate_, late);
  if (now - windowStart_ >= kWindow) {
    correction_ = static_cast<int>(std::lround(
        drift_.Update(windowLate_, std::chrono::duration<double>(now - windowStart_).count()) * rate_));
    windowStart_ = now;
    windowLate_ = late;
  }
  return correction_;
}

bool SetCorrection(SwrContext* swr, int samplesPerSecond, int outRate) {
  return swr_set_compensation(swr, samplesPerSecond, outRate) >= 0;
}

}  // namespace kal
