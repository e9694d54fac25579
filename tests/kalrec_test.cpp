// kalrec run as a user runs it, under the harness's display.

#include <signal.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "KalrecRun.h"
#include "MediaProbe.h"
#include "TempDir.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::KalrecArgs;
using kaltest::KalrecResult;
using kaltest::RunKalrec;

class KalrecTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove(kal::ConfigStore::Instance()->Path()); }
  kaltest::TempDir dir;
};

void ExpectSummary(const KalrecResult& r, const std::string& file) {
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("frames=", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("file=" + file), std::string::npos) << r.out;
}

TEST_F(KalrecTest, SixSecondsAt24FramesHold144Pictures) {
  const std::string file = dir / "six.mp4";
  const auto r =
      RunKalrec({"record", "--out", file, "--seconds", "6", "--fps", "24", "--sound", "none"});
  ExpectSummary(r, file);
  const auto info = kaltest::ProbeFile(file);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_NEAR(static_cast<double>(v->framesDecoded), 144.0, 2.0);
  EXPECT_NEAR(v->duration, 6.0, 0.15);
  EXPECT_EQ(v->decodeErrors, 0);
}

TEST_F(KalrecTest, AScriptedPauseLeavesNoGap) {
  const std::string file = dir / "paused.mkv";
  const auto t0 = std::chrono::steady_clock::now();
  const auto r = RunKalrec({"record", "--out", file, "--seconds", "6", "--fps", "24", "--sound",
                            "none", "--pause-at", "2:2"});
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 8s);
  ExpectSummary(r, file);
  const auto info = kaltest::ProbeFile(file);
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_NEAR(static_cast<double>(v->framesDecoded), 144.0, 2.0);
  EXPECT_NEAR(v->duration, 6.0, 0.15);
}

TEST_F(KalrecTest, SigintFinishesTheFile) {
  const std::string file = dir / "interrupted.mp4";
  kaltest::Subprocess kalrec(
      KalrecArgs({"record", "--out", file, "--sound", "none", "--fps", "24"}), kaltest::Quiet());
  std::this_thread::sleep_for(3s);
  kalrec.Signal(SIGINT);
  EXPECT_EQ(kalrec.Wait(), 0);
  const auto info = kaltest::ProbeFile(file);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GT(v->framesDecoded, 40);
  EXPECT_EQ(v->decodeErrors, 0);
}

TEST_F(KalrecTest, BadArgumentsAreRefusedInWordsAndLeaveNoFile) {
  const std::vector<std::vector<std::string>> cases = {
      {"record", "--out", dir / "a.webm", "--seconds", "1"},
      {"record", "--seconds", "1"},
      {"record", "--out", dir / "b.mp4", "--fps", "abc"},
      {"record", "--out", dir / "c.mp4", "--quality", "7"},
      {"record", "--out", dir / "d.mp4", "--area", "1,2,3"},
      {"record", "--out", dir / "e.mp4", "--sound", "loud"},
      {"record", "--out", dir / "f.mp4", "--bogus"},
      {"record", "--out", dir / "missing/g.mp4", "--seconds", "1"},
      {"frobnicate"},
  };
  for (const auto& args : cases) {
    const auto r = RunKalrec(args);
    EXPECT_NE(r.status, 0) << args.back();
    EXPECT_EQ(r.err.rfind("kalrec: ", 0), 0u) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(KalrecTest, ConfigRoundTripsAndRecordLeavesItUntouched) {
  EXPECT_EQ(RunKalrec({"config", "get", "global", "video-framerate"}).out, "24\n");
  EXPECT_EQ(RunKalrec({"config", "set", "global", "video-framerate", "30"}).status, 0);
  EXPECT_EQ(RunKalrec({"config", "get", "GLOBAL", "video-framerate"}).out, "30\n");
  EXPECT_EQ(RunKalrec({"config", "set", "mouse-effect", "mouse-check", "0"}).status, 0);
  const auto unknown = RunKalrec({"config", "set", "global", "no-such-key", "1"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.err.find("unknown key"), std::string::npos);
  const auto list = RunKalrec({"config", "list"});
  EXPECT_NE(list.out.find("global video-framerate=30\n"), std::string::npos);
  EXPECT_NE(list.out.find("suspend right=50\n"), std::string::npos);

  const std::string before = kaltest::ReadFile(kal::ConfigStore::Instance()->Path());
  const auto r =
      RunKalrec({"record", "--out", dir / "cfg.mkv", "--seconds", "1", "--fps", "10", "--area",
                 "0,0,320,240", "--sound", "none", "--cursor", "--watermark-text", "a:b"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Standard output is kalrec's own: its result line, no engine trace.
  EXPECT_EQ(r.out.rfind("frames=", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_EQ(kaltest::ReadFile(kal::ConfigStore::Instance()->Path()), before);
  const auto info = kaltest::ProbeFile(dir / "cfg.mkv");
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->width, 320);
  EXPECT_EQ(v->height, 240);
}

// No sound server here: asking for sound records the picture and says what
// is missing instead of handing over a silent file without a word.
TEST_F(KalrecTest, AMissingSoundSourceIsToldAndThePictureRecorded) {
  const auto mic = RunKalrec({"record", "--out", dir / "mic.mkv", "--seconds", "1", "--sound", "mic"});
  EXPECT_EQ(mic.status, 0) << mic.err;
  EXPECT_NE(mic.err.find("no microphone found"), std::string::npos) << mic.err;
  const auto both = RunKalrec({"record", "--out", dir / "both.mkv", "--seconds", "1", "--sound", "both"});
  EXPECT_NE(both.err.find("no microphone found"), std::string::npos) << both.err;
  EXPECT_NE(both.err.find("system sound"), std::string::npos) << both.err;
  const auto none = RunKalrec({"record", "--out", dir / "none.mkv", "--seconds", "1", "--sound", "none"});
  EXPECT_EQ(none.err.find("recording without"), std::string::npos) << none.err;
  const auto info = kaltest::ProbeFile(dir / "mic.mkv");
  ASSERT_TRUE(info.opened) << info.error;
  EXPECT_GT(info.Find(AVMEDIA_TYPE_VIDEO)->framesDecoded, 10);
}

TEST_F(KalrecTest, DevicesAndVersion) {
  const auto d = RunKalrec({"devices"});
  EXPECT_EQ(d.status, 0);
  EXPECT_NE(d.out.find("screen: 1920x1080\n"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("system-sound: "), std::string::npos);
  EXPECT_EQ(RunKalrec({"--version"}).out, "kalrec 2.5.0\n");
  for (const char* c : {"record", "config", "devices"})
    EXPECT_NE(RunKalrec({c, "--help"}).out.find("usage: kalrec"), std::string::npos) << c;
}

}  // namespace
