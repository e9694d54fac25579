// Engine pieces that need no display: pacing, geometry and the effects'
// animation, driven with a fake clock and an in-memory picture.

#include <QImage>

#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>


#include "recorder/CaptureGeometry.h"
#include "recorder/ClickFlags.h"
#include "recorder/CursorEffects.h"
#include "media/MediaDuration.h"
#include "recorder/PacingClock.h"
#include "media/PacketQueue.h"
#include "recorder/PixelConvert.h"
#include "recorder/RunGate.h"
#include "recorder/SoundFifo.h"
#include "recorder/VideoFifo.h"
#include "recorder/SoundClock.h"
#include "recorder/Synchroniser.h"

namespace {

using kal::PacingClock;

// Runs the reader's loop against fake time: `grabCost(n)` is how long the
// n-th grab takes, `pauses` maps a picture number to a pause length.
struct FakeReader {
  std::int64_t now = 5'000'000'000;
  std::vector<std::int64_t> taken;  // when each picture was grabbed
  PacingClock clock;
  explicit FakeReader(int fps)
      : clock(fps, [this] { return now; }, [this](std::int64_t us) { now += us; }) {}

  void RunFor(std::int64_t micros, const std::function<std::int64_t(std::int64_t)>& grabCost) {
    const std::int64_t end = now + micros;
    for (;;) {
      clock.NextTurn();
      clock.WaitForPicture([] { return false; });
      if (now >= end) return;
      taken.push_back(now);
      now += grabCost(clock.Grabbed());
      clock.CountGrab();
    }
  }
  void Pause(std::int64_t micros) {
    clock.PauseStep();
    now += micros;
    clock.PauseResume();
  }
};

TEST(PacketQueueTest, HoldsItsBoundAndACloseWakesTheWaiterAfterWhatIsLeft) {
  using kal::Popped;
  kal::PacketQueue queue(2);
  kal::PacketPtr p;
  EXPECT_EQ(queue.Pop(std::chrono::milliseconds(1), &p), Popped::kNothingYet) << "a wait that times out";
  EXPECT_TRUE(queue.TryPush(kal::MakePacket()));
  EXPECT_TRUE(queue.TryPush(kal::MakePacket()));
  EXPECT_FALSE(queue.TryPush(kal::MakePacket())) << "beyond the bound";
  EXPECT_EQ(queue.Size(), 2);

  // Closed with packets left: they come first, then the close.
  queue.Close();
  EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0), &p), Popped::kItem);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0), &p), Popped::kItem);
  EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0), &p), Popped::kClosed);

  // A waiter on an empty queue wakes at the close, long before its wait ends.
  kal::PacketQueue empty;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    empty.Close();
  });
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(empty.Pop(std::chrono::seconds(10), &p), Popped::kClosed);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  closer.join();
}

// Runs `f` on another thread and says how long it took; the test fails
// rather than hangs when it never returns.
template <typename F>
std::chrono::milliseconds TimeOnThread(F f, std::chrono::milliseconds delayBeforeWake,
                                       const std::function<void()>& wake) {
  const auto t0 = std::chrono::steady_clock::now();
  std::thread waiter(f);
  std::this_thread::sleep_for(delayBeforeWake);
  wake();
  waiter.join();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
}

TEST(StageQueuesTest, StopWakesTheEncoderButItsDrainStillTakesWhatTheConverterFinishes) {
  kal::VideoFifo fifo;
  ASSERT_TRUE(fifo.Allocate(64, 32, 3));
  // The encoder waits for a picture while recording; the stop wakes it at
  // once, well before its wait would end.
  std::uint8_t* taken = nullptr;
  kal::Popped got = kal::Popped::kItem;
  const auto waited = TimeOnThread([&] { got = fifo.TakeOldest(std::chrono::seconds(20), false, &taken); },
                                   std::chrono::milliseconds(50), [&] { fifo.Abort(); });
  EXPECT_EQ(got, kal::Popped::kNothingYet);
  EXPECT_LT(waited, std::chrono::seconds(5));

  // After the stop the converter still delivers what was grabbed before it:
  // the draining encoder waits for it and then for the converter's end.
  std::vector<std::uint8_t*> drained;
  kal::Popped last = kal::Popped::kItem;
  std::thread encoder([&] {
    std::uint8_t* slot = nullptr;
    while ((last = fifo.TakeOldest(std::chrono::milliseconds(0), true, &slot)) == kal::Popped::kItem) {
      drained.push_back(slot);
      fifo.Release();
    }
  });
  for (int i = 0; i < 5; ++i) {  // more than the FIFO holds: the converter waits for room
    std::uint8_t* slot = fifo.WaitFreeSlot();
    ASSERT_NE(slot, nullptr);
    slot[0] = static_cast<std::uint8_t>(i);
    fifo.Commit();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  fifo.Close();
  encoder.join();
  EXPECT_EQ(last, kal::Popped::kClosed);
  ASSERT_EQ(drained.size(), 5u);
  EXPECT_EQ(drained.back()[0], 4) << "in order, the last one last";

  // A converter waiting for room while the encoder is gone gives up.
  kal::VideoFifo full;
  ASSERT_TRUE(full.Allocate(64, 32, 3));
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(full.WaitFreeSlot(), nullptr);
    full.Commit();
  }
  std::uint8_t* room = reinterpret_cast<std::uint8_t*>(1);
  TimeOnThread([&] { room = full.WaitFreeSlot(); }, std::chrono::milliseconds(50),
               [&] { full.EndReading(); });
  EXPECT_EQ(room, nullptr);
}

TEST(StageQueuesTest, AFullSoundFifoDoesNotHoldUpTheStopAndTheDrainGetsTheLastBlock) {
  kal::SoundFifo fifo;
  ASSERT_TRUE(fifo.Allocate(1024));
  std::vector<float> left(1024, 0.5f), right(1024, -0.5f);
  std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(left.data()),
                             reinterpret_cast<std::uint8_t*>(right.data())};
  ASSERT_TRUE(fifo.Write(planes, 1024, true));
  // Full: the microphone waits for room, and the stop ends its wait.
  bool wrote = true;
  const auto waited = TimeOnThread([&] { wrote = fifo.Write(planes, 512, true); },
                                   std::chrono::milliseconds(50), [&] { fifo.Abort(); });
  EXPECT_FALSE(wrote);
  EXPECT_LT(waited, std::chrono::seconds(5));

  // Read what is there: real sound, then silence for the rest.
  std::vector<float> outL(2048, 9.f), outR(2048, 9.f);
  std::uint8_t* out[2] = {reinterpret_cast<std::uint8_t*>(outL.data()),
                          reinterpret_cast<std::uint8_t*>(outR.data())};
  EXPECT_EQ(fifo.Read(out, 2048), 1024);
  EXPECT_FLOAT_EQ(outL[1023], 0.5f);
  EXPECT_FLOAT_EQ(outR[0], -0.5f);
  EXPECT_FLOAT_EQ(outL[1024], 0.f);

  // After the stop a recording wait returns at once, but a drain waits for
  // the block the system-sound thread hands over as it ends.
  EXPECT_EQ(fifo.WaitFor(256, std::chrono::seconds(20), false), kal::Popped::kNothingYet);
  kal::Popped got = kal::Popped::kNothingYet;
  TimeOnThread([&] { got = fifo.WaitFor(256, std::chrono::seconds(20), true); },
               std::chrono::milliseconds(50), [&] {
                 EXPECT_TRUE(fifo.Write(planes, 300, false)) << "growing writes still land";
                 fifo.Close();
               });
  EXPECT_EQ(got, kal::Popped::kItem);
  fifo.Read(out, 256);
  EXPECT_EQ(fifo.WaitFor(256, std::chrono::seconds(20), true), kal::Popped::kClosed)
      << "closed with fewer left";
}

TEST(StageQueuesTest, TheRunGateHoldsUntilRunAndAStopEndsEveryWait) {
  kal::RunGate gate;
  int steps = 0;
  bool open = false;
  TimeOnThread([&] { open = gate.WaitOpen(std::chrono::milliseconds(10), [&](bool) { ++steps; }); },
               std::chrono::milliseconds(60), [&] { gate.Open(); });
  EXPECT_TRUE(open);
  EXPECT_GE(steps, 4) << "re-checked while shut, each step counted for the pacing clock";
  gate.Shut();
  TimeOnThread([&] { open = gate.WaitOpen(std::chrono::seconds(20)); },
               std::chrono::milliseconds(30), [&] { gate.Abort(); });
  EXPECT_FALSE(open);
  gate.Open();
  EXPECT_FALSE(gate.WaitOpen(std::chrono::seconds(20))) << "a Run after the stop opens nothing";
}

TEST(PacingClockTest, PictureCountFollowsRunningTimeAcrossPauses) {
  FakeReader r(24);
  r.clock.Begin();
  r.RunFor(4'000'000, [](std::int64_t) { return 8'000; });
  r.Pause(3'000'000);
  r.RunFor(6'000'000, [](std::int64_t) { return 8'000; });
  EXPECT_NEAR(static_cast<double>(r.clock.Grabbed()), 240.0, 1.0);
  // The paused three seconds are not running time.
  EXPECT_NEAR(static_cast<double>(r.clock.Grabbed()), r.clock.RunningMicros() * 24 / 1e6, 1.0);
  EXPECT_LT(r.clock.RunningMicros(), 10'100'000);
}

TEST(PacingClockTest, AStalledGrabIsMadeUpWithoutExtraPictures) {
  for (const int fps : {10, 24, 30, 60}) {
    FakeReader r(fps);
    r.clock.Begin();
    // One grab at picture 20 takes 300 ms; the others 5 ms.
    r.RunFor(10'000'000, [](std::int64_t n) { return n == 20 ? 300'000 : 5'000; });
    EXPECT_NEAR(static_cast<double>(r.clock.Grabbed()), 10.0 * fps, 1.0) << fps;
    EXPECT_LE(r.clock.Grabbed(), r.clock.ExpectedPictures()) << fps;
  }
}

TEST(PacingClockTest, ALateGrabLeavesTheLaterPicturesOnTheirSlots) {
  FakeReader r(30);
  r.clock.Begin();
  // Picture 20's grab takes 1.6 intervals: 21 is taken late, and the ones
  // after it on their slots again, not 0.6 of an interval after them.
  r.RunFor(2'000'000, [](std::int64_t n) { return n == 20 ? 53'333 : 5'000; });
  ASSERT_GT(r.taken.size(), 40u);
  EXPECT_NEAR(static_cast<double>(r.taken[40] - r.taken[10]), 1'000'000.0, 2.0);
}

TEST(PacingClockTest, SlowGrabsNeverRunAheadOfTheClock) {
  FakeReader r(30);
  r.clock.Begin();
  // Every grab takes 1.5 intervals: the reader can only fall behind.
  r.RunFor(5'000'000, [](std::int64_t) { return 50'000; });
  EXPECT_LE(r.clock.Grabbed(), r.clock.ExpectedPictures());
  EXPECT_NEAR(static_cast<double>(r.clock.Grabbed()), 100.0, 1.0);
}

TEST(CaptureGeometryTest, FollowWindowAtTheScreensCorners) {
  auto p = kal::PlaceFollowWindow(10, 10, 640, 480, 1920, 1080);
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 0);
  EXPECT_EQ(p.pictureX, 10);
  EXPECT_EQ(p.pictureY, 10);
  p = kal::PlaceFollowWindow(1919, 1079, 640, 480, 1920, 1080);
  EXPECT_EQ(p.left, 1280);
  EXPECT_EQ(p.top, 600);
  EXPECT_EQ(p.pictureX, 639);
  EXPECT_EQ(p.pictureY, 479);
  p = kal::PlaceFollowWindow(1000, 500, 640, 480, 1920, 1080);
  EXPECT_EQ(p.left, 680);
  EXPECT_EQ(p.top, 260);
  EXPECT_EQ(p.pictureX, 320);
  EXPECT_EQ(p.pictureY, 240);
}

TEST(CaptureGeometryTest, RegionsAreMadeEvenAndKeptOnTheScreen) {
  EXPECT_EQ(kal::FitRegion({200, 100, 641, 481}, 1920, 1080), (kal::Rect{200, 100, 640, 480}));
  EXPECT_EQ(kal::FitRegion({1800, 1000, 640, 480}, 1920, 1080), (kal::Rect{1280, 600, 640, 480}));
  EXPECT_EQ(kal::FitRegion({-50, -5, 100, 100}, 1920, 1080), (kal::Rect{0, 0, 100, 100}));
  EXPECT_EQ(kal::FitRegion({0, 0, 4000, -3}, 1920, 1080), (kal::Rect{0, 0, 1920, 2}));
  EXPECT_EQ(kal::FitRegion({5, 5, 0, 0}, 1921, 1081), (kal::Rect{5, 5, 2, 2}));
}

class EffectsTest : public ::testing::Test {
 protected:
  static constexpr int kW = 200;
  static constexpr int kH = 200;
  QImage picture{kW, kH, QImage::Format_RGB32};
  platform::CursorImage noCursor;
  void SetUp() override {
    picture.fill(Qt::black);
    kal::leftClickSeen = false;
    kal::rightClickSeen = false;
  }
  void Draw(kal::CursorEffects& fx, int x, int y) {
    fx.Draw(picture.bits(), kW, kH, static_cast<int>(picture.bytesPerLine()), x, y, noCursor);
  }
  QColor At(int x, int y) const { return picture.pixelColor(x, y); }
};

TEST_F(EffectsTest, RippleAt30FramesFadesInOverSevenPicturesAndLastsFifteen) {
  kal::CursorEffectSettings s;
  s.drawCursor = false;
  s.ripples = true;
  s.frameRate = 30;
  kal::CursorEffects fx(s);
  kal::leftClickSeen = true;
  Draw(fx, 100, 100);
  EXPECT_FALSE(kal::leftClickSeen) << "the flag is consumed";
  ASSERT_EQ(fx.Ripples().size(), 1u);
  std::vector<int> alphas{fx.Ripples().front().alpha};
  for (int i = 1; i < 15; ++i) {
    Draw(fx, 100, 100);
    ASSERT_EQ(fx.Ripples().size(), 1u);
    alphas.push_back(fx.Ripples().front().alpha);
  }
  EXPECT_EQ(alphas, (std::vector<int>{36, 72, 108, 144, 180, 216, 252, 216, 180, 144, 108, 72, 36,
                                      0, 0}));
  const kal::ClickRipple& r = fx.Ripples().front();
  EXPECT_TRUE(r.done);
  EXPECT_EQ(r.width, 30);
  EXPECT_EQ(r.left, 100 - 15);
  Draw(fx, 100, 100);
  EXPECT_TRUE(fx.Ripples().empty());
}

TEST_F(EffectsTest, CursorOutsideThePictureDrawsNothingAndKeepsTheClick) {
  kal::CursorEffectSettings s;
  s.ripples = true;
  s.highlight = true;
  kal::CursorEffects fx(s);
  kal::rightClickSeen = true;
  Draw(fx, kW + 1, 50);
  EXPECT_TRUE(kal::rightClickSeen);
  EXPECT_TRUE(fx.Ripples().empty());
  EXPECT_EQ(picture.pixelColor(kW - 1, 50), QColor(Qt::black));
  Draw(fx, kW, 50);  // the edge itself still counts as inside
  EXPECT_FALSE(kal::rightClickSeen);
  EXPECT_EQ(fx.Ripples().size(), 1u);
  EXPECT_EQ(fx.Ripples().front().button, 1);
}

TEST_F(EffectsTest, HighlightDiscOfOddSizeIsCentredWithTheHalfSize) {
  kal::CursorEffectSettings s;
  s.drawCursor = false;
  s.highlight = true;
  s.highlightColor = {0, 0, 255};
  s.highlightWidth = s.highlightHeight = 57;
  s.highlightHalfWidth = s.highlightHalfHeight = 28;
  kal::CursorEffects fx(s);
  Draw(fx, 100, 100);
  EXPECT_NEAR(At(100, 100).blue(), 60, 2);  // alpha 60 over black
  EXPECT_EQ(At(100, 100).red(), 0);
  EXPECT_GT(At(100 - 26, 100).blue(), 40);
  EXPECT_EQ(At(100 - 30, 100).blue(), 0);
  EXPECT_GT(At(100 + 27, 100).blue(), 40);  // the box runs from 72 to 129
  EXPECT_EQ(At(100 + 31, 100).blue(), 0);
  EXPECT_GT(At(100, 100 + 27).blue(), 40);
}

TEST(EffectsGrowthTest, GrowthByFrameRate) {
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(30), 2);
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(20), 2);
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(15), 4);
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(12), 4);
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(10), 6);
  EXPECT_EQ(kal::CursorEffects::RippleGrowth(8), 0);
}

}  // namespace

namespace {

// 24-bit packed desktops (no test server offers one) and 16-bit ones become
// BGRX with full-range channels.
TEST(PixelConvertTest, PackedAnd16BitPixelsBecomeBgrx) {
  const std::uint8_t packed[] = {0x00, 0x80, 0xFF, 0x10, 0x20, 0x30};  // B G R, B G R
  std::uint8_t out[8] = {};
  kal::ConvertToBgrx(packed, 6, {24, 0xFF0000, 0x00FF00, 0x0000FF}, 2, 1, out, 8);
  EXPECT_EQ(std::vector<int>(out, out + 8), (std::vector<int>{0x00, 0x80, 0xFF, 0xFF, 0x10, 0x20, 0x30, 0xFF}));
  const std::uint16_t rgb565[] = {0xF800, 0x07E0, 0x001F, 0x8410};
  std::uint8_t px[16] = {};
  kal::ConvertToBgrx(reinterpret_cast<const std::uint8_t*>(rgb565), 8, {16, 0xF800, 0x07E0, 0x001F},
                     4, 1, px, 16);
  EXPECT_EQ(px[2], 255);  // red
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[5], 255);  // green
  EXPECT_EQ(px[8], 255);  // blue
  EXPECT_NEAR(px[12], 132, 1);  // mid grey: 16 of 31 and 32 of 63
  EXPECT_NEAR(px[13], 130, 1);
  EXPECT_FALSE(kal::CanConvert({8, 0, 0, 0}));
}

// Running time starts at the first run and stands still in pauses; sound
// is placed by it: before the start or in a pause it is dropped, a late
// start owes silence, and after the first sound only errors beyond 200 ms
// are mended at once.
TEST(SynchroniserTest, SoundIsPlacedByRunningTimeAcrossTheStartAndPauses) {
  using namespace std::chrono_literals;
  kal::Synchroniser sync;
  const kal::Synchroniser::Clock::time_point t0{100s};
  EXPECT_EQ(sync.RunningMicros(t0), 0) << "nothing runs yet";
  sync.Run(t0);
  EXPECT_EQ(sync.RunningMicros(t0 - 10ms), -10000);
  EXPECT_EQ(sync.RunningMicros(t0 + 1500ms), 1500000);
  sync.Pause(t0 + 2s);
  EXPECT_EQ(sync.RunningMicros(t0 + 5s), 2000000) << "the pause that lasts";
  sync.Run(t0 + 12s);
  EXPECT_EQ(sync.RunningMicros(t0 + 11990ms), 1990000) << "just before the resume";
  EXPECT_EQ(sync.RunningMicros(t0 + 12100ms), 2100000);
  EXPECT_FALSE(sync.RunningAt(t0 + 5s));
  EXPECT_TRUE(sync.RunningAt(t0 + 13s));

  kal::Synchroniser fresh;
  fresh.Run(t0);
  kal::SoundClock clock(fresh, 44100);
  EXPECT_EQ(clock.Missing(t0 + 1500ms), 66150) << "a source that starts late owes silence";
  EXPECT_EQ(clock.Place(t0 - 5ms, 0).drop, 220) << "sound from before the start";
  EXPECT_EQ(clock.Place(t0 + 100ms, 441).silence, 4410 - 441) << "counting what is on its way";
  clock.Wrote(44100);
  EXPECT_EQ(clock.Place(t0 + 900ms, 0).drop, 0) << "100 ms is the drift control's to take up";
  EXPECT_EQ(clock.Place(t0 + 1300ms, 0).silence, 13230) << "a gap of 300 ms";
  clock.Rejoin();
  EXPECT_EQ(clock.Place(t0 + 990ms, 0).drop, 441) << "after a gap the sound is placed exactly";
}

// A sound card whose clock runs 0.2 % fast or slow, or right, delivers
// 10 ms blocks that reach us up to 20 ms late; the correction
// the resampler applies must keep its sound on the clock over a minute and
// come to rest without wobbling the pitch; a right clock is left alone.
TEST(SoundClockTest, KeepsAFastOrSlowCardOnTheClockWithoutWobble) {
  using Clock = kal::Synchroniser::Clock;
  for (const double error : {0.002, -0.002, 0.0}) {
    SCOPED_TRACE(error);
    kal::Synchroniser sync;
    const Clock::time_point start{std::chrono::seconds(100)};
    sync.Run(start);
    kal::SoundClock clock(sync, 44100);
    double owed = 0, worst = 0, correction = 0, wobble = 0, trueLate = 0, biggest = 0;
    unsigned jitter = 1;
    for (int step = 1; step <= 6000; ++step) {
      owed += 441 * (1 + error) * (1 + correction);
      const auto made = static_cast<std::int64_t>(owed);
      owed -= static_cast<double>(made);
      clock.Wrote(made);
      jitter = jitter * 1103515245u + 12345u;
      const auto now = start + std::chrono::milliseconds(step * 10);
      const auto arrived = now + std::chrono::microseconds(int((jitter >> 16) % 20000));
      const double next = clock.Follow(arrived, 0, now) / 44100.0;
      correction = next;
      biggest = std::max(biggest, std::abs(correction));
      if (step > 2000) wobble = std::max(wobble, std::abs(correction + error / (1 + error)));
      trueLate = clock.Lateness(now, 0) / 44100.0;
      worst = std::max(worst, std::abs(trueLate));
    }
    EXPECT_LT(worst, 0.018) << "seconds off the clock at worst";
    // Errors within 10 ms are left alone; a clock that is off is brought
    // back to them and kept there.
    EXPECT_LT(std::abs(trueLate), 0.012) << "seconds off the clock at the end";
    EXPECT_NEAR(correction, -error / (1 + error), 3e-4);
    EXPECT_LT(wobble, 8e-4) << "once settled, the pitch wobbles with the arrival times";
    if (error == 0) {
      EXPECT_LT(biggest, 1e-4) << "a right clock's pitch is bent";
    }
    // A pause starts the arrival times afresh, not the clock's rate.
    clock.Rejoin();
    const auto end = start + std::chrono::seconds(60);
    EXPECT_NEAR(clock.Follow(end, 0, end) / 44100.0, -error / (1 + error), 3e-4);
  }
}

}  // namespace

namespace {

TEST(ListTextTest, SizesAndDurationsAsTheListShowsThem) {
  EXPECT_EQ(kal::SizeText(1023), "1023B");
  EXPECT_EQ(kal::SizeText(1024), "1KB");
  EXPECT_EQ(kal::SizeText(1572864), "1.50M");
  EXPECT_EQ(kal::SizeText(3221225472ull), "3.00G");
  EXPECT_EQ(kal::DurationText(3725.9), "01:02:05");
  EXPECT_EQ(kal::DurationText(0), "00:00:00");
  EXPECT_EQ(kal::DurationText(-1), "--:--:--");
}

}  // namespace
