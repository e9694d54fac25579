#pragma once
// A playback clock: a value set at a time runs on with the wall clock
// (value + (now - time)) until it is set again; paused, it holds. Any
// thread.

#include <cmath>
#include <mutex>

extern "C" {
#include <libavutil/time.h>
}

namespace kal {

inline double NowSeconds() { return av_gettime_relative() / 1e6; }

class PlayerClock {
 public:
  // NaN until set.
  double Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    if (std::isnan(value_) || paused_) return value_;
    return value_ + (NowSeconds() - time_);
  }
  void Set(double value, double time = NowSeconds()) {
    std::lock_guard<std::mutex> hold(lock_);
    value_ = value;
    time_ = time;
  }
  // Pausing keeps the value it has now; resuming runs on from it.
  void SetPaused(bool paused) {
    std::lock_guard<std::mutex> hold(lock_);
    if (paused == paused_) return;
    const double now = NowSeconds();
    if (paused && !std::isnan(value_)) value_ += now - time_;
    time_ = now;
    paused_ = paused;
  }
  bool Defined() const { return !std::isnan(Get()); }

 private:
  mutable std::mutex lock_;
  double value_ = NAN;
  double time_ = 0;
  bool paused_ = false;
};

}  // namespace kal
