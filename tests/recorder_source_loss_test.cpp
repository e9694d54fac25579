// What the engine does when a source fails while recording: a sound
// connection dropped by the server, a microphone that starts late or falls
// silent, a camera whose input ends. The recording goes on, each change is
// told once, and what comes back is in the file again.

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "Sanitizers.h"
#include "SoundFixture.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "app/LogSetup.h"
#include "config/ConfigKeys.h"
#include "recorder/Recorder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kaltest::Subprocess;

namespace {

using kaltest::kMicHz;
using kaltest::kSystemHz;
using kaltest::SoundTest;

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
  // The drain and the trailer, no more.
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
  for (const Case c : {Case{"late", 0ms, 3000ms, 5000ms}, Case{"gap", 2000ms, 3000ms, 4000ms}}) {
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
    // The test server's microphone (a player 10 ms ahead of a null sink)
    // comes back from a suspension with a few phase jumps of its own, and
    // each spoils the exact-frequency measure of the window it falls in.
    // Windows of 50 ms keep that to a few of them, and are short enough
    // that the drift control's largest bend of the pitch still passes.
    const size_t window = static_cast<size_t>(rate / 20);
    int windows = 0, tone = 0;
    for (size_t i = at(c.before + c.gap + 800ms); i + window + rate / 5 <= samples.size();
         i += window, ++windows)
      tone += kaltest::ToneShare(samples, rate, kMicHz, i, i + window) > 0.8;
    EXPECT_GE(windows, 40);
    EXPECT_GE(tone, windows * 3 / 4) << tone << " of " << windows << " windows of 50 ms hold it";
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
  Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
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

  // Encoding the repeated picture costs a few hundredths of a core (more
  // under the sanitizers); an encoder spinning on missing pictures takes all of one.
  EXPECT_LT(encoderCpu, 0.2) << "share of a core the encoder used after the camera ended";
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

// A camera that delivers 5 % fewer or more pictures than the 15 a second it
// claims: its pictures are placed on the running time, so the file lasts
// as long as the recording ran and its sound stays with its picture, where
// counting them at the rate claimed left it 0.3 s short or long after 6 s.
TEST_F(SoundTest, ACameraOffItsClaimedRateStaysWithTheSound) {
  kal::cfg::Write(kal::cfg::kVoiceSource, 2);
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  Subprocess player({"paplay", kaltest::kPlayerLatency, Tone()});
  std::this_thread::sleep_for(300ms);
  for (const std::string stretch : {"1.05", "0.95"}) {
    SCOPED_TRACE(stretch);
    NoticeReceiver owner;
    kal::Recorder recorder(&owner);
    recorder.SetCameraInputForTesting("lavfi",
                                      "testsrc=size=320x240:rate=15,setpts=PTS*" + stretch + ",realtime");
    ASSERT_EQ(recorder.Start("offrate.mkv", dir.path(), "mkv", 24, 1), 0);
    const auto ran = std::chrono::steady_clock::now();
    recorder.Run();
    std::this_thread::sleep_for(6000ms);
    recorder.Stop();
    const double running = std::chrono::duration<double>(std::chrono::steady_clock::now() - ran).count();
    ASSERT_TRUE(recorder.WaitFinished(20s));
    const auto info = kaltest::ProbeFile(dir / "offrate.mkv", false);
    ASSERT_TRUE(info.opened) << info.error;
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    const auto* a = info.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v && a);
    // The sound ends with the last picture; the running time tells.
    EXPECT_NEAR(v->duration, running, 1.5 / 15) << "the picture's length against the running time";
    EXPECT_NEAR(a->duration, v->duration, 0.1);
  }
  player.Stop();
  kal::cfg::Write(kal::cfg::kVideoSource, 0);
}

}  // namespace
