// Sound in real recordings, with the harness's private PulseAudio server:
// the null sink "kal_sink" is the playback device, the 440 Hz sine source
// "kal_tone" the microphone.

#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "app/LogSetup.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "recorder/CaptureDevices.h"
#include "recorder/MixerWrap.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kaltest::Subprocess;

namespace {

constexpr double kMicHz = 440;       // the harness's sine source
constexpr double kSystemHz = 1000;   // what the tests play

class SoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new kaltest::TempDir();
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=30 -ac 2 " +
                             Tone()));
    // The test server's sources run on timers that deliver long blocks until
    // a reader asks for short ones; readers kept running for the whole
    // suite hold them at a short latency, as a sound card's would be.
    keepers_ = new std::vector<std::unique_ptr<Subprocess>>();
    for (const char* source : {"kal_tone", "kal_sink.monitor"}) {
      keepers_->push_back(std::make_unique<Subprocess>(std::vector<std::string>{
          "sh", "-c", std::string("exec parec --latency-msec=10 -d ") + source + " >/dev/null"}));
    }
    Subprocess player({"paplay", "--latency-msec=20", Tone()});
    kaltest::Run("timeout 5 parec -d kal_sink.monitor --latency-msec=10 2>/dev/null | "
                 "head -c 8000 >/dev/null");
    kaltest::Run("timeout 5 ffmpeg -v quiet -f pulse -fragment_size 1920 -i kal_tone -t 0.3 -f null -");
  }
  static void TearDownTestSuite() {
    delete keepers_;
    delete dir_;
  }
  static std::string Tone() { return *dir_ / "tone1000.wav"; }

  void SetUp() override {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr);
    kal::SetTraceEnabled(false);
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kMouseCheck, 0);
    ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_tone && pactl set-default-sink kal_sink"));
  }

  std::string Record(const std::string& name, std::chrono::milliseconds length) {
    const std::string file = name + ".mkv";
    EXPECT_EQ(rec.Start(file, dir.path(), "mkv", 24, 1), 0);
    rec.Run();
    std::this_thread::sleep_for(length);
    rec.Stop();
    EXPECT_TRUE(rec.WaitFinished(20s));
    return dir / file;
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

  // From its onset to the last 200 ms (what was still on its way from the
  // server at the stop), the sound has no gap.
  static void ExpectNoGapAfter(const std::vector<float>& s, int rate, size_t onset, double level) {
    const size_t step = static_cast<size_t>(rate / 20);
    for (size_t i = onset + step; i + step + rate / 5 <= s.size(); i += step)
      ASSERT_GT(kaltest::Rms(s, i, i + step), level) << "gap at " << double(i) / rate << " s";
  }

  static inline kaltest::TempDir* dir_ = nullptr;
  static inline std::vector<std::unique_ptr<Subprocess>>* keepers_ = nullptr;
  kaltest::TempDir dir;
  kaltest::XTestScreen screen;
  kal::Recorder rec{nullptr};
};

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
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("system", 3000ms);
  player.Stop();
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  ASSERT_EQ(rate, 44100);
  const size_t from = Onset(samples, rate, 0.02);
  EXPECT_LT(from, samples.size() * 2 / 3) << "the tone appears";
  ExpectNoGapAfter(samples, rate, from, 0.05);
  EXPECT_GT(kaltest::ToneShare(samples, rate, kSystemHz, from), 0.8);
  EXPECT_LT(kaltest::ToneShare(samples, rate, kMicHz, from), 0.05);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, SilenceStandsInWhileNothingPlays) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  const std::string file = Record("quiet", 3000ms);
  const auto samples = kaltest::DecodeAudio(file);
  EXPECT_LT(kaltest::Rms(samples), 0.001);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, MicrophoneToneIsRecorded) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  const std::string file = Record("mic", 3000ms);
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = samples.size() / 3;
  EXPECT_GT(kaltest::Rms(samples, from), 0.0005);
  EXPECT_GT(kaltest::ToneShare(samples, rate, kMicHz, from), 0.5);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, MixedRecordingHoldsBothSources) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 0);
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("mixed", 3000ms);
  player.Stop();
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = samples.size() / 3;
  EXPECT_GT(kaltest::ToneShare(samples, rate, kSystemHz, from), 0.3);
  EXPECT_GT(kaltest::ToneShare(samples, rate, kMicHz, from), 0.0005);
  ExpectAudioAsLongAsVideo(file);
}

TEST_F(SoundTest, WithoutAMicrophoneBothBecomesSystemSoundOnly) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 0);
  ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_sink.monitor"));
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
  std::this_thread::sleep_for(300ms);
  const std::string file = Record("nomic", 2500ms);
  player.Stop();
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = Onset(samples, rate, 0.02);
  EXPECT_LT(from, samples.size() * 2 / 3) << "the tone appears";
  ExpectNoGapAfter(samples, rate, from, 0.05);
  EXPECT_GT(kaltest::ToneShare(samples, rate, kSystemHz, from), 0.8);
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
    Subprocess player({"paplay", "--latency-msec=20", Tone()});
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
    ASSERT_TRUE(kaltest::Run("espeak-ng -w " + Speech() +
                             " 'one two three four five, the quick brown fox jumps over the lazy "
                             "dog, recording the screen with sound' >/dev/null 2>&1"));
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i anoisesrc=color=white:amplitude=0.2:"
                             "duration=30 -ac 1 -ar 44100 " + Noise()));
  }
  static std::string Speech() { return *dir_ / "speech.wav"; }
  static std::string Noise() { return *dir_ / "noise.wav"; }

  void SetUp() override {
    SoundTest::SetUp();
    // A sink whose monitor, remapped, is a microphone that says what is played into it.
    ASSERT_TRUE(kaltest::Run(
        "pactl list short sinks | grep -q kal_speech_air || "
        "(pactl load-module module-null-sink sink_name=kal_speech_air >/dev/null && "
        "pactl load-module module-remap-source master=kal_speech_air.monitor source_name=kal_voice "
        ">/dev/null)"));
    ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_voice"));
    kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  }

  // Records while `wav` loops into the microphone; returns its samples.
  std::vector<float> RecordFrom(const std::string& wav, const std::string& name) {
    Subprocess loop({"sh", "-c", "while paplay --latency-msec=20 --device=kal_speech_air " + wav + "; do :; done"});
    std::this_thread::sleep_for(300ms);
    const std::string file = Record(name, 4000ms);
    loop.Stop();
    kaltest::Run("pkill -f 'paplay --device=kal_speech_air' || true");
    return kaltest::DecodeAudio(file);
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
  EXPECT_GT(b, a * 1.5) << "plain " << a << " raised " << b;
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
// pause: the sound must keep its place against the picture. The harness's
// own delay from paplay to the recording is the same for both markers, so
// the difference of the two offsets is what the pause did.
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
  ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=0.15 -ac 2 " +
                           (dir / "beep.wav")));
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
  kal::cfg::Write(kal::cfg::kRegionWidth, 320);
  kal::cfg::Write(kal::cfg::kRegionHeight, 240);
  screen.Fill(0, 0, 400, 300, 0x000000);
  const auto marker = [&] {
    Subprocess beep({"paplay", "--latency-msec=20", dir / "beep.wav"});
    screen.Fill(0, 0, 400, 300, 0xFFFFFF);
    std::this_thread::sleep_for(300ms);
    screen.Fill(0, 0, 400, 300, 0x000000);
    beep.Wait();
  };
  const std::string file = "marker.mkv";
  ASSERT_EQ(rec.Start(file, dir.path(), "mkv", kFps, 1), 0);
  rec.Run();
  std::this_thread::sleep_for(2000ms);
  marker();
  std::this_thread::sleep_for(700ms);
  rec.Pause();
  std::this_thread::sleep_for(2000ms);
  rec.Run();
  std::this_thread::sleep_for(1000ms);
  marker();
  std::this_thread::sleep_for(1000ms);
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
  ASSERT_EQ(flashes.size(), 2u);
  ASSERT_EQ(beeps.size(), 2u);
  const double before = beeps[0] / 1000.0 - flashes[0] / double(kFps);
  const double after = beeps[1] / 1000.0 - flashes[1] / double(kFps);
  std::printf("marker offsets: %.3f s before the pause, %.3f s after it\n", before, after);
  EXPECT_LT(std::abs(after - before), 0.040)
      << "offset before the pause " << before << " s, after it " << after << " s";
}

}  // namespace

namespace {

TEST_F(SoundTest, AFullMicrophoneFifoIsLoggedAndStopEndsPromptly) {
  kaltest::TempDir logs;
  kal::LogSession log("recorder_sound_test", logs.path());
  kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  ASSERT_EQ(rec.Start("full.mkv", dir.path(), "mkv", 10, 1), 0);
  rec.Run();
  rec.HoldEncoderForTesting(true);
  std::this_thread::sleep_for(7500ms);  // the FIFO holds 6 s
  const auto t0 = std::chrono::steady_clock::now();
  rec.Stop();
  ASSERT_TRUE(rec.WaitFinished(10s));
  // The finaliser's own 800 ms and the trailer, no more.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
  std::string text;
  for (const auto& e : fs::directory_iterator(logs.path()))
    if (e.is_regular_file()) text += kaltest::ReadFile(e.path().string());
  EXPECT_NE(text.find("audio fifo space is not enough"), std::string::npos);
}

}  // namespace
