#pragma once
// The common ground of the engine's recording tests: a fresh configure.ini
// with the pointer not drawn (patterns are checked without it), a black
// screen on the harness's display, a temporary output folder, and one way
// to record a scripted session.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"

namespace kaltest {

// One step of a scripted session: run or pause for a while.
struct Step {
  bool run;
  std::chrono::milliseconds length;
};

class RecordingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.Ok()) << "needs the harness's display";
    kal::SetTraceEnabled(false);
    std::filesystem::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kMouseCheck, 0);
    screen.Fill(0, 0, screen.Width(), screen.Height(), 0x000000);
  }

  // Records a session of `rec` following `steps` into dir/name.ext and
  // returns the finished file.
  std::string Record(kal::Recorder& rec, const std::string& name, const std::string& ext,
                     const std::vector<Step>& steps, int fps = 24, int quality = 1) {
    const std::string file = name + "." + ext;
    EXPECT_EQ(rec.Start(file, dir.path(), ext, fps, quality), 0);
    for (const Step& s : steps) {
      if (s.run) {
        rec.Run();
      } else {
        rec.Pause();
      }
      std::this_thread::sleep_for(s.length);
    }
    rec.Stop();
    EXPECT_TRUE(rec.WaitFinished(std::chrono::seconds(20)));
    return dir / file;
  }

  TempDir dir;
  XTestScreen screen;
};

}  // namespace kaltest
