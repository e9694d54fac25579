#pragma once
// The common ground of the recording tests with sound: the harness's
// private PulseAudio server, where the null sink "kal_sink" is the playback
// device and the 440 Hz source "kal_tone" the microphone, a 1000 Hz tone to
// play, and the checks the tests make of a recorded sound track.

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "RecordingFixture.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "recorder/Recorder.h"

namespace kaltest {

inline constexpr double kMicHz = 440;       // the harness's microphone tone
inline constexpr double kSystemHz = 1000;   // what the tests play
// A player's buffer long enough that a loaded machine never lets it run
// dry: a gap it left would be played by the sink, not made by the recorder.
inline constexpr const char* kPlayerLatency = "--latency-msec=200";

class SoundTest : public kaltest::RecordingFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = new kaltest::TempDir();
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=30 -ac 2 " +
                             Tone()));
    // The server stays plain, as on a user's desktop: no other client asks
    // it for a latency under 100 ms, so the engine must ask for one itself.
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Tone() { return *dir_ / "tone1000.wav"; }

  void SetUp() override {
    RecordingFixture::SetUp();
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr);
    ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_tone && pactl set-default-sink kal_sink"));
  }

  std::string Record(const std::string& name, std::chrono::milliseconds length) {
    return RecordingFixture::Record(rec, name, "mkv", {{true, length}});
  }

  // Audio and video of the file last equally long.
  static void ExpectAudioAsLongAsVideo(const std::string& file) {
    const auto info = kaltest::ProbeFile(file, false);
    ASSERT_TRUE(info.opened) << info.error;
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    const auto* a = info.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v && a);
    EXPECT_GT(v->duration, 1.0);
    EXPECT_NEAR(a->duration, v->duration, 0.1);
  }

  // Where a sound that starts and then carries on begins (its first 10 ms
  // above `level`); the test server's monitor can start late.
  static size_t Onset(const std::vector<float>& s, int rate, double level) {
    const size_t step = static_cast<size_t>(rate / 100);
    for (size_t i = 0; i + step <= s.size(); i += step)
      if (kaltest::Rms(s, i, i + step) > level) return i;
    return s.size();
  }

  // From `from` to the last 200 ms, every quarter second is the tone
  // (one may hold a click: a single sample out of place spoils a window).
  static void ExpectToneThroughout(const std::vector<float>& s, int rate, double hz, size_t from) {
    const size_t step = static_cast<size_t>(rate / 4);
    int windows = 0, tone = 0;
    for (size_t i = from; i + step + rate / 5 <= s.size(); i += step, ++windows)
      tone += kaltest::ToneShare(s, rate, hz, i, i + step) > 0.8;
    EXPECT_GE(windows, 4);
    EXPECT_GE(tone, windows - 1) << tone << " of " << windows << " quarter seconds hold the tone";
  }

  // From its onset to the last 200 ms (what was still on its way from the
  // server at the stop), the sound has no gap.
  static void ExpectNoGapAfter(const std::vector<float>& s, int rate, size_t onset, double level) {
    const size_t step = static_cast<size_t>(rate / 20);
    for (size_t i = onset + step; i + step + rate / 5 <= s.size(); i += step)
      ASSERT_GT(kaltest::Rms(s, i, i + step), level) << "gap at " << double(i) / rate << " s";
  }

  static inline kaltest::TempDir* dir_ = nullptr;
  kal::Recorder rec{nullptr, std::chrono::milliseconds(0)};
};

}  // namespace kaltest
