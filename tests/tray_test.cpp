// The tray icon and its menu under a real tray host (trayer), driven with
// xdotool: the icon shows the recording state, the menu opens up and to the
// left near the bottom-right corner, and its items do what they say.

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "Subprocess.h"
#include "TempDir.h"
#include "TrayHost.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::Box;
using kaltest::kProgram;

// The colour at (x, y) of the screen as "r,g,b".
std::string Pixel(int x, int y) {
  const std::string text = kaltest::Output("import -window root -crop 1x1+" + std::to_string(x) + "+" +
                                           std::to_string(y) + " txt:- 2>/dev/null");
  const auto open = text.find("srgb(");
  return open == std::string::npos ? text : text.substr(open + 5, text.find(')', open) - open - 5);
}

bool Red(const std::string& rgb) { return rgb.rfind("229,57,53", 0) == 0; }
bool Grey(const std::string& rgb) { return rgb.rfind("154,163,173", 0) == 0; }

TEST(TrayTest, TheIconFollowsTheRecordingAndTheMenuItemsWork) {
  kaltest::TempDir out;
  fs::remove(kal::ConfigStore::Instance()->Path());
  kal::cfg::Write(kal::cfg::kOutputDir, out.path());
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kaltest::TrayHost tray;
  kaltest::TempDir bin;  // the desktop's opener, replaced by one that notes its calls
  kaltest::WriteFile(bin / "xdg-open", "#!/bin/sh\necho \"$@\" >>" + (bin / "opened") + "\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  kaltest::Subprocess program({"env", "PATH=" + bin.path() + ":" + std::getenv("PATH"), kProgram},
                              kaltest::Quiet());
  const Box panel = tray.Panel();
  ASSERT_GE(panel.w, 20) << "the icon sits in the tray";
  const int cx = panel.x + panel.w / 2, cy = panel.y + panel.h / 2;
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(Red(Pixel(cx, cy))) << Pixel(cx, cy);

  // Recording: the icon blinks between its two looks; paused it stays grey.
  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  bool red = false, grey = false;
  for (int i = 0; i < 20; ++i) {
    const std::string p = Pixel(cx, cy);
    red |= Red(p);
    grey |= Grey(p);
    std::this_thread::sleep_for(150ms);
  }
  EXPECT_TRUE(red && grey) << "blinking while recording";
  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  std::this_thread::sleep_for(1200ms);
  EXPECT_TRUE(Grey(Pixel(cx, cy))) << "paused";
  kaltest::Run("xdotool key --clearmodifiers alt+F12");
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(Red(Pixel(cx, cy))) << "stopped";

  // The menu at the bottom-right corner opens up and to the left.
  kaltest::Run("xdotool mousemove --sync " + std::to_string(cx) + " " + std::to_string(cy) +
               " click 3");
  const Box help =
      kaltest::Geometry(kaltest::kA11y + " find 'push button' '帮助' MenuWnd");
  ASSERT_GT(help.w, 0) << "the menu shows its items";
  EXPECT_LT(help.x + help.w, cx + 8);
  EXPECT_LT(help.y + help.h, cy);
  kaltest::Run(kaltest::kA11y + " click 'push button' '帮助' MenuWnd");
  std::string opened;
  for (int i = 0; i < 30 && opened.empty(); ++i) {
    std::this_thread::sleep_for(100ms);
    opened = kaltest::ReadFile(bin / "opened");
  }
  EXPECT_NE(opened.find("help.html"), std::string::npos) << opened;

  // Quit from the menu ends the program.
  ASSERT_TRUE(tray.Choose("退出"));
  EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
