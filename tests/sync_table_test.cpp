// The start, a pause and the stop as every source meets them: the screen's
// pacing clock and each sound source's clock, driven by a simulated
// timeline (no X server, no sound server), must agree on where each piece
// belongs. One table: microphone, system sound or both, where the source
// in question is missing, ends early, or starts late.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "recorder/PacingClock.h"
#include "recorder/PicturePlacer.h"
#include "recorder/SoundClock.h"
#include "recorder/SoundFifo.h"
#include "recorder/Synchroniser.h"

namespace {

using Clock = kal::Synchroniser::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr int kRate = 44100;
constexpr int kFps = 24;
const Clock::time_point kStart{std::chrono::seconds(100)};
// Run 2.02 s (the pause falls between two pictures), pause 1 s, run on:
// 4 s of running time.
constexpr std::int64_t kPauseAt = 2'020'000, kResumeAt = 3'020'000, kStopAt = 5'000'000;
constexpr std::int64_t kRunning = 4'000'000;

enum class Fate { kDelivers, kMissing, kEndsEarly, kStartsLate };
constexpr std::int64_t kEndsAt = 1'500'000, kStartsAt = 3'600'000;  // since the start

void Timeline(kal::Synchroniser& sync) {
  sync.Run(kStart);
  sync.Pause(kStart + microseconds(kPauseAt));
  sync.Run(kStart + microseconds(kResumeAt));
}

// A capture thread's life in 10 ms fragments of full-scale sound, each
// handed over as it is taken; silence the clock puts in stays 0.
std::vector<float> RecordSound(const kal::Synchroniser& sync, Fate fate) {
  kal::SoundFifo fifo;
  EXPECT_TRUE(fifo.Allocate(kRate));
  kal::SoundClock clock(sync, kRate);
  std::vector<float> ones(441, 1.f);
  bool wasRunning = false;
  for (std::int64_t t = 10'000; t <= kStopAt; t += 10'000) {
    const Clock::time_point now = kStart + microseconds(t);
    const bool running = sync.RunningAt(now - milliseconds(10));
    if (!running) {
      // Paused: what is taken is thrown away, and the sound after the
      // pause is placed afresh.
      if (wasRunning) clock.Rejoin();
      wasRunning = false;
      continue;
    }
    wasRunning = true;
    const bool delivers = fate == Fate::kDelivers || (fate == Fate::kEndsEarly && t <= kEndsAt) ||
                          (fate == Fate::kStartsLate && t > kStartsAt);
    if (!delivers) {
      clock.FillOverdue(fifo, now, false);
      continue;
    }
    const kal::SoundClock::Placement p = clock.Place(now - milliseconds(10), 0);
    if (p.silence > 0) clock.WriteSilence(fifo, p.silence, false);
    const int skip = static_cast<int>(std::min<std::int64_t>(p.drop, 441));
    std::uint8_t* planes[2] = {reinterpret_cast<std::uint8_t*>(ones.data() + skip),
                               reinterpret_cast<std::uint8_t*>(ones.data() + skip)};
    EXPECT_TRUE(fifo.Write(planes, 441 - skip, false));
    clock.Wrote(441 - skip);
  }
  // The stop: what is still owed is made up to the end.
  clock.WriteSilence(fifo, clock.Missing(kStart + microseconds(kStopAt)), false);
  std::vector<float> left(static_cast<std::size_t>(2 * kRate * kRunning / 1'000'000)), right(left.size());
  std::uint8_t* out[2] = {reinterpret_cast<std::uint8_t*>(left.data()),
                          reinterpret_cast<std::uint8_t*>(right.data())};
  left.resize(static_cast<std::size_t>(fifo.Read(out, static_cast<int>(left.size()))));
  return left;
}

// Seconds of running time where the sound is real, as [from, to) stretches.
std::vector<std::pair<double, double>> Heard(const std::vector<float>& s) {
  std::vector<std::pair<double, double>> stretches;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == 0.f) continue;
    std::size_t j = i;
    while (j < s.size() && s[j] != 0.f) ++j;
    stretches.emplace_back(double(i) / kRate, double(j) / kRate);
    i = j;
  }
  return stretches;
}

// The screen reader as it waits and grabs: each picture's place on the
// picture grid must be the running time the sound clock gives the moment
// it is grabbed, before and after the pause, and the running time holds as
// many pictures. The reader looks at the gate only before each wait, so a
// pause that begins while it waits for a picture is seen by its clock.
void ExpectScreenOnTheSameClock(const kal::Synchroniser& sync) {
  std::int64_t now = 0;  // since the start
  kal::PacingClock clock(
      kFps, [&] { return sync.RunningMicros(kStart + microseconds(now)); },
      [&](std::int64_t us) { now += us; });
  clock.Begin();
  clock.HoldAtStart();
  double worst = 0;
  while (now < kStopAt) {
    if (now >= kPauseAt && now < kResumeAt) {
      // Waiting at the shut gate, woken when it opens.
      clock.PauseStep();
      now = kResumeAt;
      clock.PauseResume();
      continue;
    }
    clock.WaitForPicture([&] { return now >= kStopAt; });
    if (now >= kStopAt) break;
    const double placed = double(clock.Grabbed()) * 1e6 / kFps;
    worst = std::max(worst, std::abs(placed - double(sync.RunningMicros(kStart + microseconds(now)))));
    clock.CountGrab();
    clock.NextTurn();
    now += 3'000;  // the grab
  }
  EXPECT_LT(worst, 1e6 / kFps / 2) << "microseconds between a picture's place and its sound's";
  EXPECT_NEAR(double(clock.Grabbed()), kRunning / 1e6 * kFps, 1.0);
}

struct Case {
  const char* name;
  bool microphone;
  bool system;
  Fate fate;  // of the system sound when both are recorded
};

TEST(SynchroniserTableTest, EverySourceMeetsTheStartThePauseAndTheStopOnOneClock) {
  const Case cases[] = {
      {"microphone missing", true, false, Fate::kMissing},
      {"microphone ends early", true, false, Fate::kEndsEarly},
      {"microphone starts late", true, false, Fate::kStartsLate},
      {"system sound missing", false, true, Fate::kMissing},
      {"system sound ends early", false, true, Fate::kEndsEarly},
      {"system sound starts late", false, true, Fate::kStartsLate},
      {"both, system sound missing", true, true, Fate::kMissing},
      {"both, system sound ends early", true, true, Fate::kEndsEarly},
      {"both, system sound starts late", true, true, Fate::kStartsLate},
  };
  kal::Synchroniser sync;
  Timeline(sync);
  ExpectScreenOnTheSameClock(sync);
  const double end = kRunning / 1e6;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<Fate, std::string>> sources;
    if (c.microphone) sources.emplace_back(c.system ? Fate::kDelivers : c.fate, "microphone");
    if (c.system) sources.emplace_back(c.fate, "system sound");
    for (const auto& [fate, source] : sources) {
      SCOPED_TRACE(source);
      const std::vector<float> sound = RecordSound(sync, fate);
      // As long as the recording: the stop ends every track together.
      EXPECT_NEAR(double(sound.size()) / kRate, end, 0.002);
      const auto heard = Heard(sound);
      switch (fate) {
        case Fate::kDelivers:
          // From the first picture to the stop, the pause cut out cleanly.
          ASSERT_EQ(heard.size(), 1u) << "a gap at " << heard[0].second;
          EXPECT_NEAR(heard[0].first, 0.0, 0.002);
          EXPECT_NEAR(heard[0].second, end, 0.002);
          break;
        case Fate::kMissing:
          EXPECT_TRUE(heard.empty()) << "silence all through";
          break;
        case Fate::kEndsEarly:
          ASSERT_EQ(heard.size(), 1u);
          EXPECT_NEAR(heard[0].second, kEndsAt / 1e6, 0.002) << "silence from where it ended";
          break;
        case Fate::kStartsLate: {
          ASSERT_EQ(heard.size(), 1u);
          // Taken 3.6 s after the start with a second's pause before it.
          const double from = double(kStartsAt - (kResumeAt - kPauseAt)) / 1e6;
          EXPECT_NEAR(heard[0].first, from, 0.002) << "its sound at its picture";
          EXPECT_NEAR(heard[0].second, end, 0.002);
          break;
        }
      }
    }
  }
}

// A camera that delivers 2 % fewer or more pictures than the 15 a second it
// claims, or the right number, each arriving up to 20 ms late: through a
// minute no picture's slot comes more than half an interval before it
// arrived or 1.5 after, and the right camera's pictures are each written
// once.
TEST(PicturePlacerTest, ACameraOffItsRateStaysOnTheRunningTime) {
  constexpr int fps = 15;
  for (const double speed : {1.0, 0.98, 1.02}) {
    SCOPED_TRACE(speed);
    kal::PicturePlacer placer(fps);
    int notOnce = 0;
    double early = 0, late = 0;  // slot against arrival, in intervals
    const std::int64_t count = static_cast<std::int64_t>(60 * fps * speed);
    for (std::int64_t k = 0; k < count; ++k) {
      const double jitter = double((k * 7919) % 21) / 1000;  // 0..20 ms
      const double at = double(k) / (fps * speed) + jitter;
      const int copies = placer.Copies(static_cast<std::int64_t>(at * 1e6));
      notOnce += copies != 1;
      if (copies == 0) continue;
      const double slot = double(placer.Written() - 1);
      early = std::max(early, slot - at * fps);
      late = std::max(late, at * fps - slot);
    }
    EXPECT_LE(early, 0.5);
    EXPECT_LT(late, 1.5);
    EXPECT_NEAR(double(placer.Written()), 60.0 * fps, 2.0) << "a minute of pictures";
    if (speed == 1.0) EXPECT_EQ(notOnce, 0);
    else EXPECT_GT(notOnce, 10) << "the camera's error is taken up";
  }
}

}  // namespace
