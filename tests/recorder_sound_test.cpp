// Sound in real recordings, with the harness's private PulseAudio server:
// the null sink "kal_sink" is the playback device, the 440 Hz sine source
// "kal_tone" the microphone.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "BeepStream.h"
#include "MediaProbe.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "RecordingFixture.h"
#include "SoundFixture.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "media/CaptureDevices.h"
#include "recorder/MixerWrap.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kaltest::Subprocess;

namespace {

using kaltest::kMicHz;
using kaltest::kSystemHz;
using kaltest::SoundTest;

TEST_F(SoundTest, EndpointsAndDevicesComeFromTheSoundServer) {
  std::string name;
  EXPECT_TRUE(kal::HasDefaultCaptureEndpoint(name));
  EXPECT_FALSE(name.empty());
  EXPECT_TRUE(kal::HasDefaultRenderEndpoint());
  const auto mics = kal::EnumerateCaptureDevices(kal::CaptureKind::kMicrophone);
  ASSERT_FALSE(mics.empty());
  EXPECT_EQ(mics.front().displayName, "kal_tone");
  for (const auto& m : mics) EXPECT_EQ(m.displayName.find(".monitor"), std::string::npos);
  // A monitor as default source is no microphone.
  ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_sink.monitor"));
  EXPECT_FALSE(kal::HasDefaultCaptureEndpoint(name));
}

TEST_F(SoundTest, SystemSoundIsRecordedAtItsFrequency) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("system", 3000ms);
  player.Stop();
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  ASSERT_EQ(rate, 44100);
  const size_t from = Onset(samples, rate, 0.02);
  EXPECT_LT(from, samples.size() * 2 / 3) << "the tone appears";
  ExpectNoGapAfter(samples, rate, from, 0.05);
  ExpectToneThroughout(samples, rate, kSystemHz, from);
  EXPECT_LT(kaltest::ToneShare(samples, rate, kMicHz, from), 0.05);
  ExpectAudioAsLongAsVideo(file);
}

// A camera recording aligns its start with the sound too; the system sound
// must not wait for a screen that is not recorded.
TEST_F(SoundTest, ACameraRecordingKeepsTheSystemSound) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  rec.SetCameraInputForTesting("lavfi", "testsrc=size=320x240:rate=15,realtime");
  Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("camera", 3000ms);
  player.Stop();
  kal::cfg::Write(kal::cfg::kVideoSource, 0);
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = Onset(samples, rate, 0.02);
  EXPECT_LT(from, samples.size() * 2 / 3) << "the tone appears";
  ExpectToneThroughout(samples, rate, kSystemHz, from);
}

TEST_F(SoundTest, SilenceStandsInWhileNothingPlays) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  const std::string file = Record("quiet", 3000ms);
  const auto samples = kaltest::DecodeAudio(file);
  EXPECT_LT(kaltest::Rms(samples), 0.001);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, WithoutAMicrophoneBothBecomesSystemSoundOnly) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 0);
  ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_sink.monitor"));
  Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("nomic", 2500ms);
  player.Stop();
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = Onset(samples, rate, 0.02);
  EXPECT_LT(from, samples.size() * 2 / 3) << "the tone appears";
  ExpectNoGapAfter(samples, rate, from, 0.05);
  ExpectToneThroughout(samples, rate, kSystemHz, from);
  EXPECT_LT(kaltest::ToneShare(samples, rate, kMicHz, from), 0.01);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, SoundPlayedWhilePausedNeverReachesTheFile) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  const std::string file = "paused.mkv";
  ASSERT_EQ(rec.Start(file, dir.path(), "mkv", 24, 1), 0);
  rec.Run();
  std::this_thread::sleep_for(1500ms);
  rec.Pause();
  std::this_thread::sleep_for(200ms);
  {
    Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
    std::this_thread::sleep_for(2000ms);
  }
  std::this_thread::sleep_for(300ms);
  rec.Run();
  std::this_thread::sleep_for(1500ms);
  rec.Stop();
  ASSERT_TRUE(rec.WaitFinished(20s));
  const auto samples = kaltest::DecodeAudio(dir / file);
  EXPECT_LT(kaltest::Rms(samples), 0.002) << "the tone played only during the pause";
  ExpectAudioAsLongAsVideo(dir / file);
}

// Speech, not a steady tone: noise suppression treats a tone as noise.
class SpeechTest : public SoundTest {
 protected:
  static void SetUpTestSuite() {
    SoundTest::SetUpTestSuite();
    // Long enough for a whole recording, so the microphone never pauses
    // between two plays as no real one does.
    ASSERT_TRUE(kaltest::Run("espeak-ng -w " + (*dir_ / "once.wav") +
                             " 'one two three four five, the quick brown fox jumps over the lazy "
                             "dog, recording the screen with sound' >/dev/null 2>&1"));
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -stream_loop 5 -i " + (*dir_ / "once.wav") +
                             " -ac 1 -ar 44100 " + Speech()));
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i anoisesrc=color=white:amplitude=0.2:"
                             "duration=30 -ac 1 -ar 44100 " + Noise()));
  }
  static std::string Speech() { return *dir_ / "speech.wav"; }
  static std::string Noise() { return *dir_ / "noise.wav"; }

  void SetUp() override {
    SoundTest::SetUp();
    // A sink whose monitor, remapped, is a microphone that says what is
    // played into it; a silent stream keeps its clock running as the
    // harness does for "kal_sink" (it ends with the server).
    ASSERT_TRUE(kaltest::Run(
        "pactl list short sinks | grep -q kal_speech_air || "
        "(pactl load-module module-null-sink sink_name=kal_speech_air >/dev/null && "
        "pactl load-module module-remap-source master=kal_speech_air.monitor source_name=kal_voice "
        ">/dev/null && (pacat --latency-msec=100 -d kal_speech_air </dev/zero >/dev/null 2>&1 &) && "
        "timeout 10 parec -d kal_voice --raw --rate=16000 --channels=1 | head -c 16000 >/dev/null)"));
    ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_voice"));
    kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  }

  // Records while `wav` plays into the microphone; returns its samples.
  std::vector<float> RecordFrom(const std::string& wav, const std::string& name) {
    Subprocess voice({"paplay", kaltest::kPlayerLatency, "--device=kal_speech_air", wav});
    std::this_thread::sleep_for(300ms);
    return kaltest::DecodeAudio(Record(name, 4000ms));
  }
};

TEST_F(SpeechTest, GainControlRaisesTheVoice) {
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  const auto plain = RecordFrom(Speech(), "plain");
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 1);
  kal::cfg::Write(kal::cfg::kVoiceSize, 20);
  const auto raised = RecordFrom(Speech(), "raised");
  const double a = kaltest::Rms(plain, plain.size() / 4);
  const double b = kaltest::Rms(raised, raised.size() / 4);
  EXPECT_GT(a, 0.001) << "the voice is recorded at all";
  // The limiter holds the raised voice near 0.095 while the plain one is
  // 0.06 to 0.067 with the part of the speech a recording catches: over 2 dB
  // more, where two plain recordings differ by well under 1 dB.
  EXPECT_GT(b, a * 1.3) << "plain " << a << " raised " << b;
}

// What a user meets first: the microphone on a plain sound server. The
// recording holds its whole running time, picture and voice, from a first
// picture right after the start.
TEST_F(SpeechTest, AFiveSecondRecordingWithTheMicrophoneHoldsFiveSeconds) {
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  for (const int source : {1, 0}) {
    SCOPED_TRACE("voice-source " + std::to_string(source));
    kal::cfg::Write(kal::cfg::kVoiceSource, source);
    Subprocess voice({"paplay", kaltest::kPlayerLatency, "--device=kal_speech_air", Speech()});
    const std::string file = Record("five" + std::to_string(source), 5000ms);
    EXPECT_LT(rec.Stats().firstPictureMicros, 300000);
    const auto info = kaltest::ProbeFile(file);
    ASSERT_TRUE(info.opened) << info.error;
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->duration, 5.0, 0.25);
    EXPECT_GE(v->framesDecoded, 5 * 24 - 6);
    ExpectAudioAsLongAsVideo(file);
    int rate = 0;
    const auto samples = kaltest::DecodeAudio(file, &rate);
    // Speech has short pauses; most half seconds hold some of it.
    const size_t half = static_cast<size_t>(rate / 2);
    int voiced = 0, halves = 0;
    for (size_t i = half; i + half <= samples.size(); i += half, ++halves)
      voiced += kaltest::Rms(samples, i, i + half) > 0.002;
    EXPECT_GE(voiced, halves * 7 / 10) << voiced << " of " << halves << " half seconds hold the voice";
    // Up to the end: sound that came late is not pushed out of the file.
    EXPECT_GT(kaltest::Rms(samples, samples.size() - rate * 6 / 5, samples.size() - rate / 5), 0.002);
  }
}

// Both sources at once: a short tone from the system while the microphone
// speaks. While the tone plays it is in the file; once it has ended what is
// still heard is the voice (system sound alone is silent then).
TEST_F(SpeechTest, MixedRecordingHoldsBothSources) {
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  kal::cfg::Write(kal::cfg::kVoiceSource, 0);
  // One play of tone, then silence to the end of the recording.
  const std::string beep = *dir_ / "tone-then-silence.wav";
  ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=1.5 -af "
                           "apad=whole_dur=6 -ac 2 " + beep));
  Subprocess voice({"paplay", kaltest::kPlayerLatency, "--device=kal_speech_air", Speech()});
  std::this_thread::sleep_for(300ms);
  Subprocess player({"paplay", kaltest::kPlayerLatency, beep});
  const std::string file = Record("mixed", 4000ms);
  int rate = 0;
  const auto s = kaltest::DecodeAudio(file, &rate);
  const auto at = [rate](double seconds) { return static_cast<size_t>(seconds * rate); };
  EXPECT_GT(kaltest::ToneShare(s, rate, kSystemHz, at(0.3), at(1.2)), 0.3) << "the system's tone";
  EXPECT_LT(kaltest::ToneShare(s, rate, kSystemHz, at(2.5), at(3.8)), 0.1) << "the tone has ended";
  EXPECT_GT(kaltest::Rms(s, at(2.5), at(3.8)), 0.002) << "the microphone's voice";
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SpeechTest, NoiseIsSuppressed) {
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  const auto noise = kaltest::DecodeAudio(Noise());
  const auto recorded = RecordFrom(Noise(), "noise");
  const double in = kaltest::Rms(noise);
  const double out = kaltest::Rms(recorded, recorded.size() / 3);
  EXPECT_GT(in, 0.05);
  EXPECT_LT(out, in * 0.3) << "noise in " << in << " out " << out;
}

}  // namespace

namespace {

// A flash on the screen and a beep at the same moment, before and after a
// pause: the sound must keep its place against the picture. The test's own
// delay from a beep asked for to the recording is the same for both markers
// (one stream plays both), so the difference of the two offsets is what the
// pause did.
class MarkerTest : public SoundTest {};

// Rising edges: indexes where `level(i)` goes above `threshold` after at
// least `quiet` indexes below it.
template <typename F>
std::vector<size_t> RisingEdges(size_t n, F level, double threshold, size_t quiet) {
  std::vector<size_t> edges;
  size_t below = quiet;
  for (size_t i = 0; i < n; ++i) {
    if (level(i) > threshold) {
      if (below >= quiet) edges.push_back(i);
      below = 0;
    } else {
      ++below;
    }
  }
  return edges;
}

TEST_F(MarkerTest, SoundAndPictureStayTogetherAcrossAPause) {
  constexpr int kFps = 60;
  kaltest::BeepStream stream(kSystemHz);
  ASSERT_TRUE(stream.Ok());
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
  kal::cfg::Write(kal::cfg::kRegionWidth, 320);
  kal::cfg::Write(kal::cfg::kRegionHeight, 240);
  screen.Fill(0, 0, 400, 300, 0x000000);
  const auto marker = [&] {
    stream.Beep(0.15);
    screen.Fill(0, 0, 400, 300, 0xFFFFFF);
    std::this_thread::sleep_for(300ms);
    screen.Fill(0, 0, 400, 300, 0x000000);
  };
  // Three markers on each side: the median of each side's offsets, so the
  // jitter of one marker's own beep and flash does not count as the pause's.
  constexpr size_t kMarkers = 3;
  const auto markers = [&] {
    for (size_t i = 0; i < kMarkers; ++i) {
      marker();
      std::this_thread::sleep_for(400ms);
    }
  };
  const std::string file = "marker.mkv";
  ASSERT_EQ(rec.Start(file, dir.path(), "mkv", kFps, 1), 0);
  rec.Run();
  std::this_thread::sleep_for(2000ms);
  markers();
  std::this_thread::sleep_for(300ms);
  rec.Pause();
  std::this_thread::sleep_for(2000ms);
  rec.Run();
  std::this_thread::sleep_for(1000ms);
  markers();
  std::this_thread::sleep_for(600ms);
  rec.Stop();
  ASSERT_TRUE(rec.WaitFinished(20s));

  const auto pics = kaltest::DecodePictures(dir / file, [](int) { return true; });
  const auto flashes = RisingEdges(
      pics.size(), [&](size_t i) { return double(pics[i].At(160, 120).g); }, 128, 6);
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(dir / file, &rate);
  const size_t block = static_cast<size_t>(rate / 1000);  // 1 ms
  const auto beeps = RisingEdges(
      samples.size() / block,
      [&](size_t i) { return kaltest::Rms(samples, i * block, (i + 1) * block); }, 0.03, 100);
  ASSERT_EQ(flashes.size(), 2 * kMarkers);
  ASSERT_EQ(beeps.size(), 2 * kMarkers);
  const auto median = [&](size_t first) {
    std::vector<double> offsets;
    for (size_t i = first; i < first + kMarkers; ++i)
      offsets.push_back(beeps[i] / 1000.0 - flashes[i] / double(kFps));
    std::sort(offsets.begin(), offsets.end());
    return offsets[kMarkers / 2];
  };
  const double before = median(0), after = median(kMarkers);
  std::printf("marker offsets: %.3f s before the pause, %.3f s after it\n", before, after);
  EXPECT_LT(std::abs(after - before), 0.040)
      << "offset before the pause " << before << " s, after it " << after << " s";
}

}  // namespace
