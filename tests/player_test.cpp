// The preview player on files made for it: pictures on the screen where its
// host window is, the sound at the test sink's monitor, the end told once,
// seeking, pausing and the volume, files it cannot play, and nothing left
// behind after many players.

#include <atomic>
#include <cmath>

#include "BeepStream.h"
#include "PlayerFixture.h"
#include "SyncProbe.h"
#include "XTestScreen.h"
#include "media/MediaInfo.h"
#include "tools/MediaPlayer.h"
#include "ui/SdlCanvas.h"

namespace kaltest {
namespace {

using kal::MediaPlayer;

bool Near(std::uint32_t rgb, std::uint32_t want, int tolerance = 40) {
  for (int shift : {16, 8, 0}) {
    const int a = (rgb >> shift) & 0xFF, b = (want >> shift) & 0xFF;
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

// A player on the fixture's host that counts its finish callbacks.
struct Counted {
  explicit Counted(kal::ui::VideoHost& host) : player(host) {
    player.SetFinishCallback([this] { ++finished; });
    player.SetCallFinish(true);
  }
  MediaPlayer player;
  std::atomic<int> finished{0};
};

TEST_F(PlayerTest, BarsAndTonePlayToTheirEndWithOneFinish) {
  XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  Counted c(*host);
  ASSERT_EQ(c.player.Play(File("bars.mp4")), 0) << c.player.Error();
  EXPECT_NEAR(c.player.Duration(), 5.0, 0.05);
  MonitorRecording monitor(File("bars.raw"));
  ASSERT_TRUE(Started(c.player));
  PumpUntil(1500);
  const double at = c.player.Position();

  // The seven bars across the top, stretched over the 640x480 host.
  const std::uint32_t bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0};
  for (int i = 0; i < 7; ++i) {
    const int x = static_cast<int>((i + 0.5) * 640 / 7);
    EXPECT_TRUE(Near(screen.Pixel(x, 100), bars[i]))
        << "bar " << i << " shows " << std::hex << screen.Pixel(x, 100);
  }
  EXPECT_GT(at, 1.4);
  EXPECT_LT(at, 2.5);
  // A larger host is filled at once, also paused.
  c.player.TogglePause();
  window_->resize(960, 480);
  EXPECT_TRUE(PumpUntil(1000, [&] { return Near(screen.Pixel(900, 100), bars[6]); }))
      << "the last bar follows the resize: " << std::hex << screen.Pixel(900, 100);
  c.player.TogglePause();

  EXPECT_TRUE(PumpUntil(6000, [&] { return c.finished > 0; })) << "the end is told";
  PumpUntil(500);
  EXPECT_EQ(c.finished, 1);

  // The recording of the monitor starts when parec is ready: the tone is
  // looked for from where the sound begins.
  PumpUntil(1500);
  const auto sound = monitor.Stop();
  const size_t step = MonitorRecording::kRate / 100;
  size_t onset = 0;
  while (onset + step < sound.size() && Rms(sound, onset, onset + step) < 0.02) onset += step;
  // Its first half second may stutter while the server starts the stream.
  const size_t from = onset + MonitorRecording::kRate / 2, to = from + MonitorRecording::kRate;
  ASSERT_GT(sound.size(), to) << "a second and a half of sound reaches the sink";
  EXPECT_GT(ToneShare(sound, MonitorRecording::kRate, 440, from, to), 0.5) << "the tone reaches the sink";
  EXPECT_NEAR(c.player.Position(), 5.0, 0.2);
  c.player.Close();
  EXPECT_EQ(c.player.GetState(), MediaPlayer::kStopped);
}

// Beeps and flashes that are together in the file come out together,
// timed from outside: the sound as it reaches the sink, the pictures as the
// screen shows them. The sound may lead or lag by 45 ms and one picture.
TEST_F(PlayerTest, SoundAndPicturesComeOutTogether) {
  constexpr double kTolerance = 0.045 + 1.0 / 25;
  {
    // The measuring path first: a beep asked of a running stream (20 ms of
    // buffer) is dated at the monitor that long after it was asked.
    MonitorClock sink;
    BeepStream stream;
    ASSERT_TRUE(sink.Ok() && stream.Ok());
    PumpUntil(700);
    const auto asked = std::chrono::steady_clock::now();
    stream.Beep(0.1);
    PumpUntil(400);
    sink.Stop();
    const auto beeps = sink.Onsets(0.05, 0.5);
    ASSERT_EQ(beeps.size(), 1u);
    const double path = SecondsBetween(asked, beeps[0]);
    std::printf("measuring path: a beep is dated %.0f ms after it was asked\n", path * 1000);
    ASSERT_GT(path, 0.0);
    ASSERT_LT(path, 0.045);
  }
  for (const char* name : {"flash48.mp4", "flash16.mp4"}) {
    SCOPED_TRACE(name);
    MonitorClock sink;
    ASSERT_TRUE(sink.Ok());
    FlashWatch screen(320, 240, 0.5);
    Counted c(*host);
    ASSERT_EQ(c.player.Play(File(name)), 0) << c.player.Error();
    EXPECT_TRUE(PumpUntil(12000, [&] { return c.finished > 0; })) << "the end is told";
    PumpUntil(300);
    c.player.Close();
    screen.Stop();
    sink.Stop();
    const auto beeps = sink.Onsets(0.05, 0.5);
    int pairs = 0;
    for (const auto& flash : screen.Flashes()) {
      double lag = 1e9;  // of the nearest beep behind the flash
      for (const auto& beep : beeps)
        if (std::abs(SecondsBetween(flash, beep)) < std::abs(lag)) lag = SecondsBetween(flash, beep);
      if (std::abs(lag) > 0.5) continue;
      ++pairs;
      std::printf("%s: the beep comes %+.0f ms after the flash\n", name, lag * 1000);
      EXPECT_LT(std::abs(lag), kTolerance) << "the beep comes " << lag * 1000 << " ms after the flash";
    }
    EXPECT_GE(pairs, 5) << screen.Flashes().size() << " flashes and " << beeps.size() << " beeps";
  }
}

TEST_F(PlayerTest, SoundOnlyAndPicturesOnlyPlayToTheirEnds) {
  for (const char* name : {"sound.m4a", "pictures.mp4"}) {
    SCOPED_TRACE(name);
    Counted c(*host);
    ASSERT_EQ(c.player.Play(File(name)), 0) << c.player.Error();
    EXPECT_EQ(c.player.HasVideo(), std::string(name) == "pictures.mp4");
    ASSERT_TRUE(Started(c.player));
    const double early = c.player.Position();
    PumpUntil(1000);
    EXPECT_NEAR(c.player.Position() - early, 1.0, 0.25) << "the position follows the master clock";
    EXPECT_TRUE(PumpUntil(4000, [&] { return c.finished > 0; }));
    EXPECT_EQ(c.finished, 1);
  }
}

TEST_F(PlayerTest, SeeksClampPauseHoldsAndTheVolumeReachesTheSink) {
  Counted c(*host);
  ASSERT_EQ(c.player.Play(File("bars.mp4")), 0);
  ASSERT_TRUE(Started(c.player));
  PumpUntil(500);
  c.player.SeekBackward(100);
  PumpUntil(300);
  EXPECT_LT(c.player.Position(), 0.6) << "back beyond the start lands at 0";

  // Paused, the position and the sound stand still; resumed, both go on at
  // once.
  c.player.TogglePause();
  EXPECT_EQ(c.player.GetState(), MediaPlayer::kPaused);
  PumpUntil(300);  // a picture on its way at the pause still lands
  const double held = c.player.Position();
  MonitorRecording quiet(File("paused.raw"));
  PumpUntil(2500);
  const auto pausedSound = quiet.Stop();
  EXPECT_NEAR(c.player.Position(), held, 0.02);
  EXPECT_LT(Rms(pausedSound), 0.005) << "no sound while paused";
  c.player.TogglePause();
  PumpUntil(400);
  EXPECT_GT(c.player.Position(), held + 0.2);
  EXPECT_LT(c.player.Position(), held + 0.7) << "resumed where it stood";

  c.player.SetVolume(0);
  PumpUntil(300);
  MonitorRecording silent(File("silent.raw"));
  PumpUntil(2000);
  EXPECT_LT(Rms(silent.Stop()), 0.005) << "volume 0 is silence";
  c.player.SetVolume(128);
  PumpUntil(300);
  MonitorRecording loud(File("loud.raw"));
  PumpUntil(2000);
  const auto full = loud.Stop();
  EXPECT_GT(Rms(full), 0.05);
  EXPECT_GT(ToneShare(full, MonitorRecording::kRate, 440, full.size() / 2), 0.5);

  c.player.SeekForward(100);
  PumpUntil(200);
  EXPECT_NEAR(c.player.Position(), c.player.Duration(), 0.3) << "beyond the end lands at it";
  EXPECT_TRUE(PumpUntil(3000, [&] { return c.finished > 0; }));
}

TEST_F(PlayerTest, LengthKeepsItsFractionAndClosingEarlyTellsNoEnd) {
  Counted c(*host);
  ASSERT_EQ(c.player.Play(File("long.mp4")), 0);
  EXPECT_NEAR(c.player.Duration(), 5.5, 0.01);
  c.player.SeekToFraction(0.9);
  PumpUntil(400);
  EXPECT_GT(c.player.Position(), 4.5);
  EXPECT_TRUE(PumpUntil(3000, [&] { return c.finished > 0; })) << "the seek's end is the file's";

  Counted early(*host);
  ASSERT_EQ(early.player.Play(File("long.mp4")), 0);
  PumpUntil(500);
  early.player.Close();
  PumpUntil(300);
  EXPECT_EQ(early.finished, 0);
}

TEST_F(PlayerTest, FilesItCannotPlayAreToldAndLeaveNothingRunning) {
  for (const std::string name : {"missing.mp4", "text.mp4"}) {
    SCOPED_TRACE(name);
    MediaPlayer player(*host);
    EXPECT_EQ(player.Play(File(name)), -1);
    EXPECT_FALSE(player.Error().empty());
    EXPECT_EQ(player.GetState(), MediaPlayer::kCreated);
  }
  kal::MediaInfo info;
  EXPECT_EQ(kal::ProbeMediaInfo(File("text.mp4"), info), -1);
  ASSERT_EQ(kal::ProbeMediaInfo(File("bars.mp4"), info), 0);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(info.frameRate, 25);
  EXPECT_EQ(info.videoStream, 0);
  EXPECT_EQ(info.audioStream, 1);
  EXPECT_EQ(info.sampleRate, 48000);
  EXPECT_EQ(info.channels, 2);
  EXPECT_NEAR(info.durationUs / 1e6, 5.0, 0.05);

  // A file cut off in its middle plays what it holds and ends.
  const std::string cut = File("cut.mp4");
  ASSERT_TRUE(kaltest::Run("head -c 60000 " + File("long.mp4") + " > " + cut));
  Counted c(*host);
  if (c.player.Play(cut) == 0) {
    EXPECT_TRUE(PumpUntil(8000, [&] { return c.finished > 0; }));
  }
}

TEST_F(PlayerTest, TwentyPlayersLeaveNoThreadAndNoFileBehind) {
  {
    MediaPlayer warm(*host);  // SDL's own threads and files start once
    ASSERT_EQ(warm.Play(File("bars.mp4")), 0);
    PumpUntil(300);
  }
  PumpUntil(200);
  kal::ui::FinishClosingAudio();  // devices are let go in the background
  const int threads = Entries("/proc/self/task"), files = Entries("/proc/self/fd");
  for (int i = 0; i < 20; ++i) {
    MediaPlayer player(*host);
    ASSERT_EQ(player.Play(File(i % 2 ? "bars.mp4" : "sound.m4a")), 0);
    PumpUntil(60);
    if (i % 3 == 0) player.TogglePause();
    QElapsedTimer t;
    t.start();
    player.Close();
    EXPECT_LT(t.elapsed(), 500) << "closing waits for nothing";
  }
  PumpUntil(200);
  kal::ui::FinishClosingAudio();
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(Entries("/proc/self/fd"), files);
}

}  // namespace
}  // namespace kaltest
