// Sound in real recordings, with the harness's private PulseAudio server:
// the null sink "kal_sink" is the playback device, the 440 Hz sine source
// "kal_tone" the microphone.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "app/LogSetup.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "RecordingFixture.h"
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

constexpr double kMicHz = 440;       // the harness's microphone tone
constexpr double kSystemHz = 1000;   // what the tests play

class SoundTest : public kaltest::RecordingFixture {
 protected:
  static void SetUpTestSuite() {
    dir_ = new kaltest::TempDir();
    ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=30 -ac 2 " +
                             Tone()));
    // The server stays plain, as on a user's desktop: no other client asks
    // it for a short latency, so the engine must ask for one itself.
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
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
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
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
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
    // A sink whose monitor, remapped, is a microphone that says what is played into it.
    ASSERT_TRUE(kaltest::Run(
        "pactl list short sinks | grep -q kal_speech_air || "
        "(pactl load-module module-null-sink sink_name=kal_speech_air >/dev/null && "
        "pactl load-module module-remap-source master=kal_speech_air.monitor source_name=kal_voice "
        ">/dev/null)"));
    ASSERT_TRUE(kaltest::Run("pactl set-default-source kal_voice"));
    kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  }

  // Records while `wav` plays into the microphone; returns its samples.
  std::vector<float> RecordFrom(const std::string& wav, const std::string& name) {
    Subprocess voice({"paplay", "--latency-msec=20", "--device=kal_speech_air", wav});
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
  EXPECT_GT(b, a * 1.5) << "plain " << a << " raised " << b;
}

// What a user meets first: the microphone on a plain sound server. The
// recording holds its whole running time, picture and voice, from a first
// picture right after the start.
TEST_F(SpeechTest, AFiveSecondRecordingWithTheMicrophoneHoldsFiveSeconds) {
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  for (const int source : {1, 0}) {
    SCOPED_TRACE("voice-source " + std::to_string(source));
    kal::cfg::Write(kal::cfg::kVoiceSource, source);
    Subprocess voice({"paplay", "--latency-msec=20", "--device=kal_speech_air", Speech()});
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
  // One play of tone and silence: the test's null sink keeps its short
  // latency only while something plays into it.
  const std::string beep = *dir_ / "tone-then-silence.wav";
  ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i sine=frequency=1000:duration=1.5 -af "
                           "apad=whole_dur=6 -ac 2 " + beep));
  Subprocess voice({"paplay", "--latency-msec=20", "--device=kal_speech_air", Speech()});
  std::this_thread::sleep_for(300ms);
  Subprocess player({"paplay", "--latency-msec=20", beep});
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

// Collects the engine's reports of its sources, in order: "lost 1 1"
// (source, while recording), "back 1", "camera".
class NoticeReceiver : public kal::MessagePoster {
 public:
  void SoundLost(kal::SoundSource source, bool whileRecording) override {
    Add("lost " + std::to_string(source) + (whileRecording ? " 1" : " 0"));
  }
  void SoundBack(kal::SoundSource source) override { Add("back " + std::to_string(source)); }
  void CameraLost() override { Add("camera"); }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(lock_);
    return events_;
  }

 private:
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> lock(lock_);
    events_.push_back(e);
  }
  std::mutex lock_;
  std::vector<std::string> events_;
};

// CPU seconds used so far by the engine thread called `name`.
double ThreadCpuSeconds(const std::string& name) {
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::ifstream commFile(task.path() / "comm");
    std::string comm;
    std::getline(commFile, comm);
    if (comm != name) continue;
    std::ifstream statFile(task.path() / "stat");
    std::string stat;
    std::getline(statFile, stat);
    // Fields after the name: 3 (state) ... 14 (utime), 15 (stime).
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
      if (i >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }
  ADD_FAILURE() << "no thread " << name;
  return 0;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The sound server drops the engine's connections in the middle of a
// recording (as when it crashes or restarts): every picture is kept, each
// source is reported once, and the sound goes on as silence.
TEST_F(SoundTest, ADroppedSoundConnectionKeepsEveryPictureAndIsReported) {
  kaltest::TempDir logs;
  kal::LogSession log("recorder_sound_test", logs.path());
  // A second door into the same server, which the test can close without
  // losing its own way in.
  const std::string door = std::string(std::getenv("KAL_TEST_SESSION")) + "/door.sock";
  const std::string own = std::getenv("PULSE_SERVER");
  std::string module = kaltest::Output(
      "pactl load-module module-native-protocol-unix auth-anonymous=1 socket=" + door);
  ASSERT_FALSE(module.empty());
  module.erase(module.find_last_not_of("\n") + 1);
  // The engine's threads connect after Start returns: the door is theirs
  // for the whole test, the test's own commands name their server.
  ::setenv("PULSE_SERVER", ("unix:" + door).c_str(), 1);
  kal::cfg::Write(kal::cfg::kVoiceSource, 0);
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  NoticeReceiver owner;
  kal::Recorder recorder(&owner);
  ASSERT_EQ(recorder.Start("dropped.mkv", dir.path(), "mkv", 24, 1), 0);
  recorder.Run();
  std::this_thread::sleep_for(2000ms);
  ASSERT_TRUE(kaltest::Run("pactl -s " + own + " unload-module " + module));
  std::this_thread::sleep_for(4000ms);
  recorder.Stop();
  ASSERT_TRUE(recorder.WaitFinished(20s));
  ::setenv("PULSE_SERVER", own.c_str(), 1);

  const auto info = kaltest::ProbeFile(dir / "dropped.mkv");
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GE(v->framesDecoded, 6 * 24 - 6) << "no picture waits for sound that will not come";
  EXPECT_EQ(recorder.Stats().picturesDropped, 0);
  ExpectAudioAsLongAsVideo(dir / "dropped.mkv");
  auto lost = owner.Events();
  std::sort(lost.begin(), lost.end());
  EXPECT_EQ(lost, (std::vector<std::string>{"lost 1 1", "lost 2 1"}))
      << "each source is reported once, though the microphone is asked for again";
  EXPECT_EQ(recorder.Notices().size(), 2u);
  const std::string text = kaltest::ReadFolder(logs.path());
  EXPECT_LE(Occurrences(text, "read audio packet err"), 1u) << "logged once, not on every read";
}

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
  EXPECT_NE(kaltest::ReadFolder(logs.path()).find("audio fifo space is not enough"), std::string::npos);
}

// A microphone that delivers nothing for a while (its source suspended, as
// a headset switching profiles or a server just started leaves it): the
// recording waits for it with silence, and its sound is in the file from
// the moment it comes, told once when it goes and once when it is back.
TEST_F(SoundTest, AMicrophoneThatStartsLateOrStopsRejoinsWhenItsSoundComes) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 1);
  kal::cfg::Write(kal::cfg::kMicrophoneCheck, 0);
  const auto suspend = [](bool on) {
    ASSERT_TRUE(kaltest::Run(std::string("pactl suspend-source kal_tone ") + (on ? "1" : "0")));
  };
  struct Case {
    const char* name;
    std::chrono::milliseconds before, gap, after;  // sound, none, sound
  };
  for (const Case c : {Case{"late", 0ms, 3000ms, 5000ms}, Case{"gap", 2000ms, 3000ms, 3000ms}}) {
    SCOPED_TRACE(c.name);
    NoticeReceiver owner;
    kal::Recorder recorder(&owner);
    if (c.before == 0ms) suspend(true);
    ASSERT_EQ(recorder.Start(std::string(c.name) + ".mkv", dir.path(), "mkv", 24, 1), 0);
    recorder.Run();
    std::this_thread::sleep_for(c.before);
    suspend(true);
    std::this_thread::sleep_for(c.gap);
    suspend(false);
    std::this_thread::sleep_for(c.after);
    recorder.Stop();
    ASSERT_TRUE(recorder.WaitFinished(20s));

    const std::string file = dir / (std::string(c.name) + ".mkv");
    ExpectAudioAsLongAsVideo(file);
    int rate = 0;
    const auto samples = kaltest::DecodeAudio(file, &rate);
    const auto at = [rate](std::chrono::milliseconds t) { return size_t(t.count()) * rate / 1000; };
    if (c.before > 0ms) {
      // The test server's microphone itself may start a second late.
      double heard = 0;
      for (size_t i = 0; i + rate / 4 <= at(c.before - 200ms); i += rate / 4)
        heard = std::max(heard, kaltest::ToneShare(samples, rate, kMicHz, i, i + rate / 4));
      EXPECT_GT(heard, 0.8) << "the microphone before it stops";
    }
    EXPECT_LT(kaltest::Rms(samples, at(c.before + 300ms), at(c.before + c.gap - 300ms)), 0.01)
        << "silence while the microphone is quiet";
    // The test server's tone comes back with a few short holes after a
    // suspension; most quarter seconds hold it.
    const size_t quarter = static_cast<size_t>(rate / 4);
    int windows = 0, tone = 0;
    for (size_t i = at(c.before + c.gap + 800ms); i + quarter + rate / 5 <= samples.size();
         i += quarter, ++windows)
      tone += kaltest::ToneShare(samples, rate, kMicHz, i, i + quarter) > 0.8;
    EXPECT_GE(windows, 8);
    EXPECT_GE(tone, windows * 3 / 4) << tone << " of " << windows << " quarter seconds hold it";
    EXPECT_EQ(owner.Events(), (std::vector<std::string>{"lost 1 1", "back 1"}));
  }
}

// The camera's input ends 2 s into a 5 s recording: the recording goes on
// to its end with the last picture and the sound, is told once, and the
// encoder does not spin on the pictures that no longer come.
TEST_F(SoundTest, ALostCameraKeepsTheRecordingWithItsLastPictureAndSound) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  NoticeReceiver owner;
  kal::Recorder recorder(&owner);
  recorder.SetCameraInputForTesting("lavfi", "testsrc=size=320x240:rate=15:duration=2,realtime");
  Subprocess player({"paplay", "--latency-msec=20", Tone()});
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(recorder.Start("lostcam.mkv", dir.path(), "mkv", 24, 1), 0);
  recorder.Run();
  std::this_thread::sleep_for(3000ms);
  const double cpuBefore = ThreadCpuSeconds("kal encoder");
  std::this_thread::sleep_for(2000ms);
  const double encoderCpu = (ThreadCpuSeconds("kal encoder") - cpuBefore) / 2.0;
  EXPECT_EQ(recorder.State(), kal::kRecording) << "the recording goes on";
  recorder.Stop();
  ASSERT_TRUE(recorder.WaitFinished(20s));
  player.Stop();
  kal::cfg::Write(kal::cfg::kVideoSource, 0);

  EXPECT_LT(encoderCpu, 0.05) << "share of a core the encoder used after the camera ended";
  EXPECT_EQ(owner.Events(), std::vector<std::string>{"camera"});
  EXPECT_EQ(recorder.Notices().size(), 1u);
  EXPECT_TRUE(recorder.Failure().empty()) << recorder.Failure();
  const std::string file = dir / "lostcam.mkv";
  std::string why;
  const auto v = kaltest::ProbeVideo(file, &why);
  ASSERT_TRUE(v) << why;
  EXPECT_NEAR(v->duration, 5.0, 0.4) << "the whole recording time";
  ExpectAudioAsLongAsVideo(file);
  int rate = 0;
  const auto samples = kaltest::DecodeAudio(file, &rate);
  const size_t from = Onset(samples, rate, 0.02);
  ASSERT_LT(from, static_cast<size_t>(rate) * 2) << "the tone appears";
  ExpectToneThroughout(samples, rate, kSystemHz, from);
}

}  // namespace
