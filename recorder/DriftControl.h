#pragma once
// Keeps a sound source's clock on the picture's. A sound card's clock runs
// a little fast or slow against the machine's (0.2 % is common for USB
// headsets), which over an hour puts its sound seconds away from the
// picture. From how far the sound handed over stands from the time it was
// taken, this tells how much its resampler should stretch or squeeze it: a
// PI controller on that error, smoothed first so that the jitter of when
// fragments arrive does not wobble the pitch. Nothing is dropped or added.
// Used by one thread.

#include <algorithm>
#include <cmath>

namespace kal {

class DriftControl {
 public:
  // The largest correction asked for: far beyond any sound card's error,
  // and still no audible change of pitch.
  static constexpr double kMaxCorrection = 0.005;

  // `errorSeconds`: how much later than its capture time the sound lands in
  // the recording (negative: earlier); `elapsedSeconds` since the last
  // update. Returns the correction: the fraction by which the resampler
  // should make more output (negative: less).
  double Update(double errorSeconds, double elapsedSeconds) {
    const double dt = std::clamp(elapsedSeconds, 0.0, 1.0);
    if (!primed_) {
      smoothed_ = errorSeconds;
      primed_ = true;
    } else {
      smoothed_ += (errorSeconds - smoothed_) * std::min(1.0, dt / kSmoothingSeconds);
    }
    // Errors of a few milliseconds are left alone: no one hears them, and
    // answering them would bend the pitch with every ripple of the
    // measurement (a busy machine, a server's timing settling). A clock
    // that is off shows by going beyond them.
    const double beyond = std::abs(smoothed_) > kQuiet ? smoothed_ - std::copysign(kQuiet, smoothed_) : 0.0;
    const double wanted = -(kProportional * beyond + kIntegral * (integral_ + beyond * dt));
    // No wind-up: the integral does not grow while the correction is held
    // at its limit.
    if (std::abs(wanted) < kMaxCorrection || wanted * beyond > 0) integral_ += beyond * dt;
    correction_ = std::clamp(-(kProportional * beyond + kIntegral * integral_), -kMaxCorrection,
                             kMaxCorrection);
    return correction_;
  }
  // After a pause the arrival times start afresh; the clock's rate, which
  // the integral holds, has not changed.
  void Restart() { primed_ = false; }

 private:
  // Damped near critically beyond the quiet band; a 0.2 % error keeps the
  // sound within about 15 ms.
  static constexpr double kSmoothingSeconds = 1.0;
  static constexpr double kProportional = 0.3;  // per second
  static constexpr double kIntegral = 0.04;     // per second squared
  static constexpr double kQuiet = 0.010;       // seconds
  double smoothed_ = 0;
  double integral_ = 0;
  double correction_ = 0;
  bool primed_ = false;
};

}  // namespace kal
