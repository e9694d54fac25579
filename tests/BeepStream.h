#pragma once
// One playback stream to the default sink that runs from its start to its
// end, silent but for the beeps asked of it. A beep asked for plays after
// the same short delay every time (the stream's buffer, kept full), where
// a player started per beep adds its own start-up, tens of milliseconds
// that differ from one start to the next.

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include <pulse/simple.h>

namespace kaltest {

class BeepStream {
 public:
  static constexpr int kRate = 44100;

  explicit BeepStream(double hz = 1000) : hz_(hz) {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    int error = 0;
    pa_ = pa_simple_new(nullptr, "kal-test-beeps", PA_STREAM_PLAYBACK, nullptr, "beeps", &spec,
                        nullptr, &attr, &error);
    if (pa_) writer_ = std::thread([this] { Write(); });
  }
  ~BeepStream() {
    stop_ = true;
    if (writer_.joinable()) writer_.join();
    if (pa_) pa_simple_free(pa_);
  }
  BeepStream(const BeepStream&) = delete;
  BeepStream& operator=(const BeepStream&) = delete;

  bool Ok() const { return pa_ != nullptr; }
  // The next 2 ms written are the start of a beep this long.
  void Beep(double seconds) { beepLeft_ = static_cast<int>(seconds * kRate); }

 private:
  void Write() {
    constexpr int kChunk = kRate / 500;  // 2 ms: how late a beep can start
    std::vector<std::int16_t> chunk(kChunk);
    long phase = 0;
    while (!stop_) {
      for (auto& s : chunk) {
        if (beepLeft_ > 0) {
          s = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * hz_ * phase++ / kRate));
          --beepLeft_;
        } else {
          s = 0;
          phase = 0;
        }
      }
      // Blocks while the buffer is full: the writer keeps pace with the sink.
      if (pa_simple_write(pa_, chunk.data(), chunk.size() * sizeof(chunk[0]), nullptr) < 0) return;
    }
  }

  const double hz_;
  pa_simple* pa_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> beepLeft_{0};
  std::thread writer_;
};

}  // namespace kaltest
