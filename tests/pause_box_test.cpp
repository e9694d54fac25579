// The floating pause box as a user meets it: a recording started with the
// hotkey shows the box where it was left, its buttons pause, resume and
// stop the recording, and dragging it keeps its new place. The recorded
// file and configure.ini are what is checked.

#include <chrono>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "OutputFolder.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::kProgram;

std::string A11y(const std::string& verb, const std::string& name) {
  return kaltest::Output(kaltest::kA11y + " " + verb + " 'push button' '" + name + "'");
}

TEST(PauseBoxTest, ItsButtonsDriveTheRecordingAndItKeepsItsPlace) {
  kaltest::TempDir out;
  fs::remove(kal::ConfigStore::Instance()->Path());
  kal::cfg::Write(kal::cfg::kOutputDir, out.path());
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kal::cfg::Write(kal::cfg::kSuspendCheck, 1);
  kaltest::Subprocess program({kProgram}, kaltest::Quiet());
  // Started from the keyboard, as while another program has the focus.
  for (int i = 0; i < 50 && kaltest::Output("xdotool search --name 'KAL屏幕录制'").empty(); ++i)
    std::this_thread::sleep_for(100ms);
  std::this_thread::sleep_for(500ms);
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  kaltest::Run("xdotool key --clearmodifiers alt+F8");

  // The box at its default place: 50 from the top, 50 from the right.
  std::istringstream where(A11y("find", "暂停录制"));
  int x = 0, y = 0, w = 0, h = 0;
  where >> x >> y >> w >> h;
  ASSERT_GT(w, 0) << "the pause box shows its pause button";
  EXPECT_GE(x, 1920 - 50 - 120);
  EXPECT_LT(x + w, 1920 - 50);
  EXPECT_GE(y, 50);
  EXPECT_LE(y + h, 50 + 28);

  std::this_thread::sleep_for(2s);
  const auto pauseFrom = Clock::now();
  A11y("click", "暂停录制");
  const auto pauseTo = Clock::now();
  std::this_thread::sleep_for(2s);
  const auto resumeFrom = Clock::now();
  A11y("click", "继续录制");
  const auto resumeTo = Clock::now();
  std::this_thread::sleep_for(2s);

  // Dragged by its time display (right of the stop button), 300 to the
  // left and 200 down.
  std::istringstream stop(A11y("find", "停止录制"));
  int sx = 0, sy = 0, sw = 0, sh = 0;
  stop >> sx >> sy >> sw >> sh;
  ASSERT_GT(sw, 0);
  const int tx = sx + sw + 25, ty = sy + sh / 2;
  kaltest::Run("xdotool mousemove --sync " + std::to_string(tx) + " " + std::to_string(ty) +
               " mousedown 1 mousemove --sync " + std::to_string(tx - 150) + " " +
               std::to_string(ty + 100) + " mousemove --sync " + std::to_string(tx - 300) + " " +
               std::to_string(ty + 200) + " mouseup 1");
  std::this_thread::sleep_for(300ms);
  A11y("click", "停止录制");
  const auto stopped = Clock::now();

  const auto files = kaltest::FinishedFiles(out.path(), 1);
  ASSERT_EQ(files.size(), 1u) << (files.empty() ? "" : files[0].string());
  const auto info = kaltest::ProbeFile(files[0].string(), false);
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  // Running time only: the pause (somewhere between the clicks) is not in it.
  const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
  const double shortestPause = seconds(resumeFrom - pauseTo);
  const double longestPause = seconds(resumeTo - pauseFrom);
  const double wall = seconds(stopped - started);
  EXPECT_LT(v->duration, wall - shortestPause + 0.3);
  EXPECT_GT(v->duration, wall - longestPause - 1.0);

  kal::ConfigStore::Instance()->ClearOverrides();
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kSuspendTop), 50 + 200);
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kSuspendRight), 50 + 300);
}

// Recording while another program has the focus: clicking the pause box
// leaves the focus where it was and does not bring up the main window.
TEST(PauseBoxTest, ClickingTheBoxLeavesTheFocusWithTheOtherProgram) {
  kaltest::TempDir out;
  fs::remove(kal::ConfigStore::Instance()->Path());
  kal::cfg::Write(kal::cfg::kOutputDir, out.path());
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kal::cfg::Write(kal::cfg::kSuspendCheck, 1);
  kaltest::Subprocess wm({"openbox", "--sm-disable"}, kaltest::Quiet());
  kaltest::Subprocess program({kProgram}, kaltest::Quiet());
  std::this_thread::sleep_for(1500ms);
  kaltest::Subprocess term({"xterm", "-geometry", "80x20+100+500", "-title", "the-other-program"},
                           kaltest::Quiet());
  std::string terminal;
  for (int i = 0; i < 50 && terminal.empty(); ++i) {
    std::this_thread::sleep_for(100ms);
    terminal = kaltest::Output("xdotool search --name '^the-other-program$' | head -n1");
  }
  ASSERT_FALSE(terminal.empty());
  kaltest::Run("xdotool windowactivate --sync " + terminal);
  const std::string focused = kaltest::Output("xdotool getwindowfocus");
  ASSERT_EQ(focused, terminal);

  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  std::this_thread::sleep_for(1s);
  A11y("click", "暂停录制");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(kaltest::Output("xdotool getwindowfocus"), terminal) << "the box took the focus";
  const std::string main = kaltest::Output("xdotool search --name '^KAL屏幕录制$' | head -n1");
  EXPECT_NE(kaltest::Output("xprop -id " + main + " WM_STATE").find("Iconic"), std::string::npos)
      << "the main window stays out of the way";
  A11y("click", "停止录制");
  EXPECT_EQ(kaltest::FinishedFiles(out.path(), 1).size(), 1u);
}

// A copy of the program whose pause-box skin is broken: the box cannot be
// made, and the recording goes on from the main window, whose record page
// says why. The main window takes no Escape for a close either.
TEST(PauseBoxTest, ABrokenSkinLeavesTheProgramRecordingAndEscapeClosesNothing) {
  kaltest::TempDir out;
  kaltest::TempDir copy;
  fs::copy(kProgram, copy / "KalRecorder");
  fs::copy(fs::path(kProgram).parent_path() / "skin", copy / "skin", fs::copy_options::recursive);
  kaltest::WriteFile(copy / "skin/suspend.xml", "<ui version=\"4.0\"><widget class=");
  fs::remove(kal::ConfigStore::Instance()->Path());
  kal::cfg::Write(kal::cfg::kOutputDir, out.path());
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kal::cfg::Write(kal::cfg::kSuspendCheck, 1);
  kaltest::Subprocess program({copy / "KalRecorder"}, kaltest::Quiet());
  const auto running = [&] { return ::waitpid(program.Pid(), nullptr, WNOHANG) == 0; };
  A11y("click", "开始录制");
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(running()) << "the program ended";
  const std::string labels = kaltest::Output(kaltest::kA11y + " names label");
  EXPECT_NE(labels.find("窗口无法显示"), std::string::npos) << labels;
  EXPECT_NE(labels.find("SuspendDialog"), std::string::npos) << labels;
  A11y("click", "停止");
  const auto files = kaltest::FinishedFiles(out.path(), 1);
  ASSERT_EQ(files.size(), 1u);
  const auto info = kaltest::ProbeFile(files[0].string(), false);
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GT(v->duration, 2.0);

  const std::string main = kaltest::Output("xdotool search --onlyvisible --name '^KAL屏幕录制$' | head -n1");
  ASSERT_FALSE(main.empty());
  kaltest::Run("xdotool windowfocus --sync " + main + " key Escape");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(kaltest::Output("xdotool search --onlyvisible --name '^KAL屏幕录制$' | head -n1"), main)
      << "Escape hid the main window";
  EXPECT_TRUE(running());
}

}  // namespace
