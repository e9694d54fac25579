// The window program as a user drives it, from outside: its buttons are
// found on the accessibility bus and clicked with xdotool. Whatever ends it
// (a signal at logout, the X server going away) first finishes the
// recording, so the file is complete and as long as what was recorded.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "OutputFolder.h"
#include "PrivateX.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::kProgram;

// Runs a11y.py against the program; `display` empty: the harness's.
bool A11y(const std::vector<std::string>& args, const std::string& display = {}) {
  std::vector<std::string> argv = {"env"};
  if (!display.empty()) argv.push_back("DISPLAY=" + display);
  argv.insert(argv.end(), {"/usr/bin/python3", kaltest::kA11yScript, "KalRecorder"});
  argv.insert(argv.end(), args.begin(), args.end());
  kaltest::Subprocess p(argv);
  return p.Wait() == 0;
}

class SessionEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  }

  // The one recording in the output folder: finished, of about `seconds`.
  void ExpectOneWholeRecording(double seconds, double tolerance) {
    const auto files = kaltest::FinishedFiles(out.path(), 1);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".mp4") << files[0];
    const auto info = kaltest::ProbeFile(files[0].string());
    ASSERT_TRUE(info.opened) << info.error;
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->duration, seconds, tolerance);
    EXPECT_EQ(v->decodeErrors, 0);
  }

  kaltest::TempDir out;
};

TEST_F(SessionEndTest, SigtermDuringARecordingLeavesTheWholeFile) {
  kaltest::Subprocess program({kProgram}, kaltest::Quiet());
  ASSERT_TRUE(A11y({"click", "push button", "开始录制"}));
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  std::this_thread::sleep_for(4s);
  program.Signal(SIGTERM);
  const int status = program.WaitStatus();
  EXPECT_TRUE(WIFEXITED(status)) << "ended by itself, after finishing the file";
  ExpectOneWholeRecording(4.0, 0.6);
}

TEST_F(SessionEndTest, TheXServerGoingAwayLeavesTheWholeFile) {
  // A display of the test's own, which it can take away.
  kaltest::PrivateX server(kaltest::PrivateX::Kind::kXvfb);
  ASSERT_TRUE(server.Ok());
  const std::string display = server.Display();
  kaltest::Subprocess program({"env", "DISPLAY=" + display, kProgram}, kaltest::Quiet());
  ASSERT_TRUE(A11y({"click", "push button", "开始录制"}, display));
  ASSERT_TRUE(kaltest::WaitForUnfinished(out.path()));
  std::this_thread::sleep_for(3s);
  server.Kill();
  program.Wait();
  // What was on the screen until it went; nothing after it.
  ExpectOneWholeRecording(3.0, 0.8);
}

TEST_F(SessionEndTest, HelpOpensInTheBrowserAndTheWindowHasItsIcon) {
  kaltest::TempDir bin;
  {
    // Without the desktop's opener the page says so, instead of nothing.
    kaltest::Subprocess program({"env", "PATH=" + bin.path(), kProgram}, kaltest::Quiet());
    ASSERT_TRUE(A11y({"click", "push button", "帮助"}));
    std::string labels;
    for (int i = 0; i < 50 && labels.find("xdg-open") == std::string::npos; ++i) {
      std::this_thread::sleep_for(100ms);
      labels = kaltest::Output(kaltest::kA11y + " names label");
    }
    EXPECT_NE(labels.find("无法打开帮助页面：xdg-open is not installed"), std::string::npos) << labels;
  }
  // The desktop's opener, replaced by one that notes what it was asked.
  kaltest::WriteFile(bin / "xdg-open", "#!/bin/sh\necho \"$@\" >>" + (bin / "opened") + "\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  kaltest::Subprocess program({"env", "PATH=" + bin.path() + ":" + std::getenv("PATH"), kProgram},
                              kaltest::Quiet());
  ASSERT_TRUE(A11y({"click", "push button", "帮助"}));
  std::string opened;
  for (int i = 0; i < 50 && opened.empty(); ++i) {
    std::this_thread::sleep_for(100ms);
    opened = kaltest::ReadFile(bin / "opened");
  }
  EXPECT_NE(opened.find("file://"), std::string::npos) << opened;
  EXPECT_NE(opened.find("skin/help.html"), std::string::npos) << opened;
  EXPECT_TRUE(fs::exists(std::string(KAL_BIN_DIR) + "/skin/help.html"));

  // The icon a window manager or a task bar shows.
  kaltest::Subprocess xprop(
      {"sh", "-c",
       "for w in $(xdotool search --name 'KAL屏幕录制'); do xprop -id $w _NET_WM_ICON; done >" +
           (bin / "icon")});
  xprop.Wait();
  EXPECT_NE(kaltest::ReadFile(bin / "icon").find("Icon (64 x 64)"), std::string::npos)
      << kaltest::ReadFile(bin / "icon").substr(0, 200);
}

}  // namespace
