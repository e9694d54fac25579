// What the user recorded is not lost: a killed recording stays decodable and
// is made a normal file at the next start; a full disk ends the recording
// with a playable file and a reason.

#include <signal.h>

#include <filesystem>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "KalrecRun.h"
#include "SmallDisk.h"
#include "TempDir.h"
#include "XTestScreen.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::KalrecArgs;
using kaltest::RunKalrec;

class KilledRecordingTest : public ::testing::TestWithParam<const char*> {};

TEST_P(KilledRecordingTest, KeepsAllButTheLastSecondsAndIsRecoveredAtTheNextStart) {
  kaltest::TempDir dir;
  kaltest::MovingContent content;
  const std::string file = dir / (std::string("killed.") + GetParam());
  kaltest::Subprocess kalrec(
      KalrecArgs({"record", "--out", file, "--fps", "24", "--sound", "none"}), kaltest::Quiet());
  std::this_thread::sleep_for(5s);
  kalrec.Signal(SIGKILL);
  kalrec.Wait();
  ASSERT_FALSE(fs::exists(file));
  ASSERT_TRUE(fs::exists(file + ".part")) << "the unfinished recording is recognisable";
  const auto left = kaltest::ProbeFile(file + ".part");
  ASSERT_TRUE(left.opened) << left.error;
  const auto* v = left.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GE(v->framesDecoded, 3 * 24) << "at least 3 of the 5 seconds decode";
  EXPECT_EQ(v->decodeErrors, 0);

  // The next recording into the folder makes it a normal file first.
  const auto next =
      RunKalrec({"record", "--out", dir / "next.mkv", "--seconds", "1", "--sound", "none"});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_NE(next.err.find("recovered an unfinished recording"), std::string::npos) << next.err;
  EXPECT_FALSE(fs::exists(file + ".part"));
  const auto fixed = kaltest::ProbeFile(file);
  ASSERT_TRUE(fixed.opened) << fixed.error;
  const auto* fv = fixed.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(fv, nullptr);
  EXPECT_GE(fv->framesDecoded, 3 * 24);
  EXPECT_GE(fv->duration, 3.0);
  EXPECT_EQ(fv->decodeErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(Containers, KilledRecordingTest,
                         ::testing::Values("mp4", "mov", "mkv", "flv"),
                         [](const auto& info) { return std::string(info.param); });

// Two recordings into one folder: the second one's start must not take the
// first one's unfinished file for a left-over.
TEST(RecoveryTest, ASecondRecordingInTheSameFolderLeavesTheFirstWhole) {
  kaltest::TempDir dir;
  kaltest::MovingContent content;
  kaltest::Subprocess first(KalrecArgs({"record", "--out", dir / "a.mkv", "--seconds", "8",
                                        "--fps", "24", "--sound", "none"}),
                            kaltest::Quiet(dir / "a.err", dir / "a.out"));
  std::this_thread::sleep_for(2500ms);
  const auto second =
      RunKalrec({"record", "--out", dir / "b.mkv", "--seconds", "1", "--sound", "none"});
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.err.find("recovered"), std::string::npos) << second.err;
  EXPECT_EQ(first.Wait(), 0) << kaltest::ReadFile(dir / "a.err");
  for (const auto& [name, seconds] : {std::pair<std::string, double>{"a.mkv", 8}, {"b.mkv", 1}}) {
    const auto info = kaltest::ProbeFile(dir / name);
    ASSERT_TRUE(info.opened) << name << ": " << info.error;
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_NEAR(v->duration, seconds, 0.3) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "a-recovered.mkv"));
}

// Recovery takes only our own recordings and never writes over a file.
TEST(RecoveryTest, LeavesOtherFilesAloneAndNeverOverwrites) {
  kaltest::TempDir dir;
  kaltest::MovingContent content;
  // A killed recording, whose plain and "-recovered" names are both taken.
  kaltest::Subprocess killed(KalrecArgs({"record", "--out", dir / "k.mkv", "--fps", "24",
                                         "--sound", "none"}),
                             kaltest::Quiet());
  std::this_thread::sleep_for(3s);
  killed.Signal(SIGKILL);
  killed.Wait();
  ASSERT_TRUE(fs::exists(dir / "k.mkv.part"));
  kaltest::WriteFile(dir / "k.mkv", "the user's own file");
  kaltest::WriteFile(dir / "k-recovered.mkv", "another file of the user's");
  // Files of other programs that happen to end in ".part".
  kaltest::WriteFile(dir / "notes.txt.part", "a download");
  fs::copy_file(dir / "k.mkv.part", dir / "movie.mp4.part");  // Matroska under an MP4 name

  const auto r = RunKalrec({"record", "--out", dir / "next.mkv", "--seconds", "1", "--sound", "none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(kaltest::ReadFile(dir / "k.mkv"), "the user's own file");
  EXPECT_EQ(kaltest::ReadFile(dir / "k-recovered.mkv"), "another file of the user's");
  EXPECT_FALSE(fs::exists(dir / "k.mkv.part"));
  const auto info = kaltest::ProbeFile(dir / "k-recovered-2.mkv");
  ASSERT_TRUE(info.opened) << info.error;
  EXPECT_GE(info.Find(AVMEDIA_TYPE_VIDEO)->framesDecoded, 24);
  EXPECT_EQ(kaltest::ReadFile(dir / "notes.txt.part"), "a download");
  EXPECT_TRUE(fs::exists(dir / "movie.mp4.part"));
  EXPECT_FALSE(fs::exists(dir / "movie.mp4"));
}

// A file that cannot be finished is a failure, with the recording kept.
TEST(RecoveryTest, AFileThatCannotBeRenamedIsReportedAndKept) {
  kaltest::TempDir dir;
  fs::create_directory(dir / "taken.mkv");  // the final name cannot be had
  const auto r = RunKalrec({"record", "--out", dir / "taken.mkv", "--seconds", "1", "--sound", "none"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("could not be finished"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("taken.mkv.part"), std::string::npos) << r.err;
  const auto info = kaltest::ProbeFile(dir / "taken.mkv.part");
  EXPECT_TRUE(info.opened) << info.error;
}

TEST(FullDiskTest, EndsTheRecordingWithAPlayableFileAndAReason) {
  kaltest::TempDir dir;
  kaltest::SmallDisk disk(dir / "small", 3);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small filesystem needs root";
  const std::string& small = disk.path();
  kaltest::MovingContent content;
  const auto t0 = std::chrono::steady_clock::now();
  const auto r = RunKalrec({"record", "--out", small + "/full.mkv", "--seconds", "60", "--fps",
                            "24", "--sound", "none", "--quality", "0"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("the disk is full"), std::string::npos) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 50s) << "it ended by itself";
  const auto info = kaltest::ProbeFile(small + "/full.mkv");
  EXPECT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GT(v->framesDecoded, 5);
}

}  // namespace

namespace {

std::string ConfigPath() {
  return std::string(std::getenv("XDG_DATA_HOME")) + "/KalRecorder/Config/configure.ini";
}

// Damaged settings start and record with safe values, and what else the
// file holds survives the next write.
TEST(DamagedConfigTest, RecordsWithSafeValuesAndKeepsTheRestOfTheFile) {
  kaltest::TempDir dir;
  fs::create_directories(fs::path(ConfigPath()).parent_path());
  std::mt19937 rng(11);
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>(rng() & 0xFF);
  std::string text = junk + "\n[global\nvideo-framerate=100000\nregion-width=-50\n";
  text += std::string("\0\0\0binary\xff\xfe\n", 13);
  text += "unrelated=" + std::string(10 * 1024 * 1024, 'x') + "\n";
  text += "[global]\nuser-defined-region-check=1\nregion-offset-x=5000\nregion-offset-y=-20\n"
          "region-width=-640\nregion-height=99999\nquality=abc\n"
          "[mouse-effect]\nmouse-hot-region-size=-3\nmouse-hot-region-check=1\n"
          "mouse-click-left-color=\xc3\x28\n";
  kaltest::WriteFile(ConfigPath(), text);
  const auto r =
      RunKalrec({"record", "--out", dir / "safe.mkv", "--seconds", "2", "--sound", "none"});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto info = kaltest::ProbeFile(dir / "safe.mkv");
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GT(v->framesDecoded, 10);
  EXPECT_EQ(v->decodeErrors, 0);
  EXPECT_LE(v->width, 1920);
  EXPECT_LE(v->height, 1080);

  const auto set = RunKalrec({"config", "set", "global", "quality", "2"});
  EXPECT_EQ(set.status, 0) << set.err;
  const std::string after = kaltest::ReadFile(ConfigPath());
  EXPECT_EQ(after.substr(0, junk.size()), junk);
  EXPECT_NE(after.find("unrelated=" + std::string(10 * 1024 * 1024, 'x')), std::string::npos);
  EXPECT_NE(after.find("quality=2\n"), std::string::npos);
  fs::remove(ConfigPath());
}

}  // namespace
