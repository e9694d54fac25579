#pragma once
// Clocks for a test that measures from outside when a player's sound and
// pictures come out: when each beep reaches the test sink and when each
// flash shows on the screen, both on the steady clock.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include <pulse/simple.h>

#include "XTestScreen.h"

namespace kaltest {

using SteadyTime = std::chrono::steady_clock::time_point;

inline double SecondsBetween(SteadyTime a, SteadyTime b) {
  return std::chrono::duration<double>(b - a).count();
}

// Reads the sink's monitor in 5 ms pieces. A sample's time is where the
// unbroken stream of samples puts it: the piece that came back soonest after
// its last sample bounds them all, so a late read moves nothing.
class MonitorClock {
 public:
  static constexpr int kRate = 16000;

  explicit MonitorClock(const char* source = "kal_sink.monitor") {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(5000, &spec));
    pa_ = pa_simple_new(nullptr, "kal-test-monitor", PA_STREAM_RECORD, source, "sync", &spec,
                        nullptr, &attr, nullptr);
    if (pa_) reader_ = std::thread([this] { Read(); });
  }
  ~MonitorClock() { Stop(); }
  MonitorClock(const MonitorClock&) = delete;
  MonitorClock& operator=(const MonitorClock&) = delete;

  bool Ok() const { return pa_ != nullptr; }
  void Stop() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (pa_) pa_simple_free(pa_);
    pa_ = nullptr;
  }
  // After Stop: when each sound that follows `quiet` seconds of silence
  // begins (its first millisecond above `level`).
  std::vector<SteadyTime> Onsets(double level, double quiet) const {
    std::vector<SteadyTime> out;
    constexpr size_t kBlock = kRate / 1000;
    size_t below = static_cast<size_t>(quiet * 1000);
    for (size_t b = 0; (b + 1) * kBlock <= samples_.size(); ++b) {
      double sum = 0;
      for (size_t i = b * kBlock; i < (b + 1) * kBlock; ++i) sum += samples_[i] * samples_[i];
      if (std::sqrt(sum / kBlock) > level) {
        if (below >= quiet * 1000) out.push_back(At(b * kBlock));
        below = 0;
      } else {
        ++below;
      }
    }
    return out;
  }

 private:
  void Read() {
    std::vector<float> piece(kRate / 200);
    while (!stop_) {
      if (pa_simple_read(pa_, piece.data(), piece.size() * sizeof(float), nullptr) < 0) return;
      const auto now = std::chrono::steady_clock::now();
      samples_.insert(samples_.end(), piece.begin(), piece.end());
      const auto first = now - Duration(samples_.size());
      if (!started_ || first < start_) start_ = first;
      started_ = true;
    }
  }
  static std::chrono::steady_clock::duration Duration(size_t samples) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(double(samples) / kRate));
  }
  SteadyTime At(size_t sample) const { return start_ + Duration(sample); }

  pa_simple* pa_ = nullptr;
  std::atomic<bool> stop_{false};
  std::vector<float> samples_;
  bool started_ = false;
  SteadyTime start_{};
  std::thread reader_;
};

// Watches one pixel of the screen from a connection of its own and notes
// when it turns bright after `quiet` seconds dark.
class FlashWatch {
 public:
  FlashWatch(int x, int y, double quiet) : x_(x), y_(y), quiet_(quiet) {
    watcher_ = std::thread([this] { Watch(); });
  }
  ~FlashWatch() { Stop(); }
  FlashWatch(const FlashWatch&) = delete;
  FlashWatch& operator=(const FlashWatch&) = delete;

  void Stop() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
  }
  const std::vector<SteadyTime>& Flashes() const { return flashes_; }  // after Stop

 private:
  void Watch() {
    XTestScreen screen;
    if (!screen.Ok()) return;
    SteadyTime darkSince = std::chrono::steady_clock::now();
    bool bright = false;
    while (!stop_) {
      const bool now = ((screen.Pixel(x_, y_) >> 8) & 0xFF) > 128;
      const auto t = std::chrono::steady_clock::now();
      if (now && !bright && SecondsBetween(darkSince, t) >= quiet_) flashes_.push_back(t);
      if (!now && bright) darkSince = t;
      bright = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  const int x_, y_;
  const double quiet_;
  std::atomic<bool> stop_{false};
  std::vector<SteadyTime> flashes_;
  std::thread watcher_;
};

}  // namespace kaltest
