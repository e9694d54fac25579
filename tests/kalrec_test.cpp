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
#include "XTestScreen.h"
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

// With the content-driven frame rate a still screen is written once a
// second, a change as it comes, each picture at its time, and the file lasts
// as long as the recording; AVI keeps one picture per interval.
TEST_F(KalrecTest, ContentFrameRateWritesChangedPicturesAtTheirTimes) {
  kaltest::XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  screen.Fill(0, 0, screen.Width(), screen.Height(), 0x000000);
  screen.Sync();
  const std::string file = dir / "content.mkv";
  kaltest::TempDir io;
  kaltest::Subprocess kalrec(KalrecArgs({"record", "--out", file, "--seconds", "4", "--fps", "24",
                                         "--sound", "none", "--frame-rate-mode", "content", "--stats"}),
                             kaltest::Quiet(io / "err", io / "out"));
  std::this_thread::sleep_for(2s);
  screen.Fill(0, 0, screen.Width(), screen.Height(), 0xffffff);
  screen.Sync();
  ASSERT_EQ(kalrec.Wait(), 0) << kaltest::ReadFile(io / "err");
  const std::string err = kaltest::ReadFile(io / "err");
  const auto info = kaltest::ProbeFile(file);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_LE(v->framesDecoded, 10) << "a still screen is written once a second";
  EXPECT_NE(err.find("pictures written: " + std::to_string(v->framesDecoded) + "\n"), std::string::npos) << err;
  EXPECT_NEAR(v->duration, 4.0, 1.0 / 24 + 0.02) << "the file plays as long as it was recorded";
  std::int64_t longest = 0;
  for (size_t i = 1; i < v->pts.size(); ++i) longest = std::max(longest, v->pts[i] - v->pts[i - 1]);
  EXPECT_GE(longest * av_q2d(v->timeBase), 0.9) << "an unchanged picture lasts";
  const auto pics = kaltest::DecodePictures(file, [](int) { return true; });
  ASSERT_GE(pics.size(), 2u);
  EXPECT_LT(pics.front().At(100, 100).r, 40);
  EXPECT_GT(pics.back().At(100, 100).r, 200) << "the change is in the file";

  const std::string avi = dir / "constant.avi";
  ExpectSummary(RunKalrec({"record", "--out", avi, "--seconds", "2", "--fps", "24", "--sound", "none",
                           "--frame-rate-mode", "content"}),
                avi);
  EXPECT_NEAR(static_cast<double>(kaltest::ProbeFile(avi).Find(AVMEDIA_TYPE_VIDEO)->framesDecoded), 48, 2);
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
