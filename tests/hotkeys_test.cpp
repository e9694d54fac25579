// The global hotkeys of the window program, pressed with xdotool while the
// program runs under the harness's display: the file recorded and the keys
// written to configure.ini are what is checked.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "OutputFolder.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

// After gtest: X defines None.
#include <X11/keysym.h>

#include "HeldKey.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::kProgram;

std::string Key(std::string_view section, std::string_view key) {
  std::string v;
  kal::ConfigStore::Instance()->GetString(section, key, "<missing>", v, 64);
  return v;
}

class HotkeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  }
  void Press(const std::string& keys) { kaltest::Run("xdotool key --clearmodifiers " + keys); }
  // Waits until the program has grabbed its keys (it writes them back then).
  bool WaitForKeys() {
    for (int i = 0; i < 100; ++i) {
      if (Key("hotkey", "stop-key2") != "<missing>") return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }
  double VideoSeconds(const fs::path& file) {
    const auto info = kaltest::ProbeFile(file.string(), false);
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    return v ? v->duration : -1;
  }
  kaltest::TempDir out;
};

TEST_F(HotkeysTest, PlayPauseThreeTimesAndStopRecordOnlyTheRunningTime) {
  kaltest::Subprocess program({kProgram}, kaltest::Quiet());
  ASSERT_TRUE(WaitForKeys());
  // Written back on a fresh profile: Alt+F8 and Alt+F12.
  EXPECT_EQ(Key("hotkey", "start-pause-key1"), "1");
  EXPECT_EQ(Key("hotkey", "start-pause-key2"), "119");
  EXPECT_EQ(Key("hotkey", "stop-key1"), "1");
  EXPECT_EQ(Key("hotkey", "stop-key2"), "123");

  Press("alt+F8");  // start
  std::this_thread::sleep_for(2s);
  Press("alt+F8");  // pause
  std::this_thread::sleep_for(2s);
  Press("alt+F8");  // resume
  std::this_thread::sleep_for(2s);
  Press("alt+F12");  // stop
  auto files = kaltest::FinishedFiles(out.path(), 1);
  ASSERT_EQ(files.size(), 1u);
  const double seconds = VideoSeconds(files[0]);
  EXPECT_NEAR(seconds, 4.0, 0.5) << "the pause is not in it";
  // The list row shows the file with its duration (as a screen reader reads it).
  char duration[16];
  std::snprintf(duration, sizeof duration, "00:00:%02d", static_cast<int>(seconds));
  std::string rows;
  for (int i = 0; i < 30 && rows.find(duration) == std::string::npos; ++i) {
    std::this_thread::sleep_for(100ms);
    rows = kaltest::Output(kaltest::kA11y + " names label");
  }
  EXPECT_NE(rows.find(files[0].filename().string()), std::string::npos) << rows;
  EXPECT_NE(rows.find(duration), std::string::npos) << rows;

  // The same with NumLock on.
  Press("Num_Lock");
  std::this_thread::sleep_for(1100ms);  // another second, another name
  Press("alt+F8");
  std::this_thread::sleep_for(2s);
  Press("alt+F12");
  Press("Num_Lock");
  files = kaltest::FinishedFiles(out.path(), 2);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_NEAR(VideoSeconds(files[1]), 2.0, 0.5);
}

TEST_F(HotkeysTest, HalfAStoredPairGivesTheDefaultAndATakenKeyIsNotWritten) {
  kal::cfg::Write(kal::cfg::kStartPauseKey1, 2);  // Control, with no key
  const kaltest::HeldKey other(XK_F12);  // another client holds Alt+F12 already
  ASSERT_TRUE(other.Ok());

  kaltest::Subprocess program({kProgram}, kaltest::Quiet());
  for (int i = 0; i < 100 && Key("hotkey", "start-pause-key2") == "<missing>"; ++i)
    std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Key("hotkey", "start-pause-key1"), "1") << "the pair is replaced whole: Alt+F8";
  EXPECT_EQ(Key("hotkey", "start-pause-key2"), "119");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Key("hotkey", "stop-key1"), "<missing>") << "a failed grab writes nothing";
  EXPECT_EQ(Key("hotkey", "stop-key2"), "<missing>");

  Press("alt+F8");
  EXPECT_TRUE(kaltest::WaitForUnfinished(out.path())) << "Alt+F8 started a recording";
}

}  // namespace
