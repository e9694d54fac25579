// The ffmpeg jobs of the tool pages: how ffmpeg's output is read, and real
// jobs on a generated clip, in a folder whose name needs no shell to be
// taken as it is.

#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "Clips.h"
#include "MediaProbe.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "tools/TranscodeArgs.h"
#include "tools/TranscodeJob.h"
#include "tools/TranscodeOutput.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kal::TranscodeEvents;

// A child of ours running `name`, or 0.
pid_t ChildOf(const std::string& name) {
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::ifstream stat(e.path() / "stat");
    std::string pid, comm, state;
    pid_t parent = 0;
    if (stat >> pid >> comm >> state >> parent && parent == ::getpid() && comm == "(" + name + ")")
      return std::stoi(pid);
  }
  return 0;
}
using kal::TranscodeOutput;

TEST(TranscodeOutputTest, TimesMarkersAndPiecesCutAnywhere) {
  EXPECT_EQ(kal::ParseTranscodeTime("00:01:23.45"), 83450);
  EXPECT_EQ(kal::ParseTranscodeTime("01:01:01.250"), 3661250);
  EXPECT_EQ(kal::ParseTranscodeTime("N/A"), std::nullopt);
  EXPECT_EQ(kal::ParseTranscodeTime("-00:00:00.02"), std::nullopt);
  EXPECT_EQ(kal::FormatTranscodeTime(3661250), "01:01:01.250");
  EXPECT_EQ(kal::FormatTranscodeTime(3700500), "01:01:40.500");

  const std::string text =
      "Input #0, mov,mp4, from 'a.mp4':\n  Duration: 00:01:23.45, start: 0.000000, bitrate: 90 kb/s\n"
      "frame=   10 fps=0.0 q=0.0 size=       0kB time=N/A bitrate=N/A speed=N/A\r"
      "frame=  500 fps=250 q=28.0 size=     256kB time=00:00:41.72 bitrate= 50.2kbits/s\r"
      "frame= 2087 fps=250 q=28.0 Lsize=    600kB time=00:01:23.40 bitrate= 58.9kbits/s\n"
      "video:500kB audio:90kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 1.7%\n";
  // Whole, and one byte at a time: a marker split across two reads is
  // still found, and each line is read once.
  for (const size_t piece : {text.size(), size_t{1}}) {
    SCOPED_TRACE(piece);
    TranscodeOutput out;
    std::vector<std::int64_t> positions;
    bool durationFound = false, end = false;
    for (size_t i = 0; i < text.size(); i += piece) {
      const TranscodeEvents e = out.Feed(std::string_view(text).substr(i, piece));
      positions.insert(positions.end(), e.positions.begin(), e.positions.end());
      durationFound |= e.durationFound;
      end |= e.endMarker;
    }
    EXPECT_TRUE(durationFound);
    EXPECT_EQ(out.DurationMs(), 83450);
    EXPECT_EQ(positions, (std::vector<std::int64_t>{41720, 83400}));
    EXPECT_TRUE(end);
    EXPECT_NE(out.LastLines(1).find("muxing overhead"), std::string::npos);
  }
  // A length ffmpeg does not know stays unknown; a later one is an output's.
  TranscodeOutput unknown;
  unknown.Feed("  Duration: N/A, bitrate: N/A\n  Duration: 00:00:05.00\n");
  EXPECT_EQ(unknown.DurationMs(), -1);
  // The last line counts without its line break.
  TranscodeOutput last;
  EXPECT_FALSE(last.Feed("x muxing overhead: 0%").endMarker);
  EXPECT_TRUE(last.Finish().endMarker);
}

// A job, and what it told, waited for.
struct Watched {
  Watched()
      : job([this](std::int64_t pos, std::int64_t length) {
              std::lock_guard<std::mutex> l(m);
              positions.push_back(pos);
              lengths.push_back(length);
            },
            [this](const kal::TranscodeResult& r) {
              std::lock_guard<std::mutex> l(m);
              results.push_back(r);
              cv.notify_all();
            }) {}
  bool WaitDone(std::chrono::seconds limit = 60s) {
    std::unique_lock<std::mutex> l(m);
    return cv.wait_for(l, limit, [&] { return !results.empty(); });
  }
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::int64_t> positions, lengths;
  std::vector<kal::TranscodeResult> results;
  kal::TranscodeJob job;
};

// Runs one job to its end; its result.
kal::TranscodeResult RunJob(const std::vector<std::string>& args, const std::string& output,
                            std::int64_t lengthMs = -1, std::int64_t* lastPosition = nullptr) {
  Watched w;
  std::string error;
  if (!w.job.Start(kal::FindFfmpeg(), args, output, lengthMs, error)) return {false, {}, error};
  if (!w.WaitDone()) return {false, {}, "no end"};
  std::lock_guard<std::mutex> l(w.m);
  if (lastPosition) *lastPosition = w.positions.empty() ? -1 : w.positions.back();
  return w.results.front();
}

class TranscodeJobTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new kaltest::TempDir;
    folder_ = dir_->path() + "/my clips 'a' \"b\" $HOME 录制";
    fs::create_directories(folder_);
    ASSERT_TRUE(kaltest::MakeClip(dir_->path() + "/clip.mp4", 4));
    fs::copy_file(dir_->path() + "/clip.mp4", folder_ + "/clip $1.mp4");
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::vector<std::string> Convert(const std::string& input, bool realTime) {
    std::vector<std::string> a{"-nostdin", "-y"};
    if (realTime) a.push_back("-re");
    a.push_back("-i");
    a.push_back(input);
    for (const char* s : {"-s", "160x120", "-c:v", "libx264", "-c:a", "aac"}) a.push_back(s);
    return a;
  }
  // Files of the folder whose name holds `part`.
  static int Count(const std::string& part) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder_))
      n += e.path().filename().string().find(part) != std::string::npos;
    return n;
  }

  static inline kaltest::TempDir* dir_ = nullptr;
  static inline std::string folder_;
};

TEST_F(TranscodeJobTest, AConvertReportsItsProgressAndNamesItsOutputOnlyWhenDone) {
  const std::string input = folder_ + "/clip $1.mp4", output = folder_ + "/out \"1\".mkv";
  Watched first, second;
  std::string error;
  ASSERT_TRUE(first.job.Start(kal::FindFfmpeg(), Convert(input, true), output, -1, error)) << error;
  ASSERT_TRUE(second.job.Start(kal::FindFfmpeg(), Convert(input, false), output, -1, error)) << error;
  EXPECT_FALSE(fs::exists(output)) << "nothing under the final name while it is written";
  ASSERT_TRUE(first.WaitDone());
  ASSERT_TRUE(second.WaitDone());
  std::this_thread::sleep_for(300ms);

  std::lock_guard<std::mutex> l(first.m);
  ASSERT_EQ(first.results.size(), 1u);
  ASSERT_TRUE(first.results[0].ok) << first.results[0].error;
  EXPECT_GE(first.positions.size(), 5u);
  EXPECT_TRUE(std::is_sorted(first.positions.begin(), first.positions.end()));
  EXPECT_EQ(first.lengths.back(), 4000);
  EXPECT_GE(first.positions.back(), 3900);
  // Two jobs for one name: two files, the later one numbered.
  ASSERT_EQ(second.results.size(), 1u);
  ASSERT_TRUE(second.results[0].ok) << second.results[0].error;
  EXPECT_EQ(second.results[0].output, output);
  EXPECT_EQ(first.results[0].output, folder_ + "/out \"1\"-1.mkv");
  for (const auto& file : {output, first.results[0].output}) {
    const auto info = kaltest::ProbeFile(file, false);
    ASSERT_TRUE(info.opened) << info.error;
    EXPECT_EQ(info.formatName, "matroska,webm");
    const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->codec, AV_CODEC_ID_H264);
    EXPECT_EQ(v->width, 160);
    ASSERT_NE(info.Find(AVMEDIA_TYPE_AUDIO), nullptr);
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC);
  }
  EXPECT_EQ(Count(".part"), 0);
}

TEST_F(TranscodeJobTest, FailuresAreToldAndLeaveNoFileAndNoChild) {
  std::string error;
  {
    Watched missing;
    EXPECT_FALSE(missing.job.Start("", Convert(dir_->path() + "/clip.mp4", false),
                                   folder_ + "/none.mp4", -1, error));
    EXPECT_NE(error.find("ffmpeg"), std::string::npos);
  }
  // A damaged input: ffmpeg fails; the job says so with ffmpeg's words.
  kaltest::WriteFile(dir_->path() + "/broken.mp4", "not a video at all");
  Watched broken;
  ASSERT_TRUE(broken.job.Start(kal::FindFfmpeg(), Convert(dir_->path() + "/broken.mp4", false),
                               folder_ + "/broken out.mp4", -1, error));
  ASSERT_TRUE(broken.WaitDone());
  {
    std::lock_guard<std::mutex> l(broken.m);
    ASSERT_EQ(broken.results.size(), 1u);
    EXPECT_FALSE(broken.results[0].ok);
    EXPECT_NE(broken.results[0].error.find("Invalid data"), std::string::npos) << broken.results[0].error;
  }
  EXPECT_EQ(Count("broken out"), 0);

  // Ended early (the program closes): the child goes, its output too, and
  // nothing is told.
  pid_t child = 0;
  {
    Watched running;
    ASSERT_TRUE(running.job.Start(kal::FindFfmpeg(), Convert(dir_->path() + "/clip.mp4", true),
                                  folder_ + "/cancelled.mp4", -1, error));
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(Count("cancelled"), 1) << "the temporary is being written";
    child = ChildOf("ffmpeg");
    EXPECT_GT(child, 0);
    EXPECT_TRUE(running.results.empty());
  }
  EXPECT_EQ(Count("cancelled"), 0);
  EXPECT_NE(::kill(child, 0), 0) << "no ffmpeg is left";
}

// The three tools' arguments on real jobs: every container and a few sizes
// give H.264 + AAC at the size asked; deeper presets give smaller files; a
// cut holds its range and only it.
TEST_F(TranscodeJobTest, ToolArgumentsGiveTheOutputsAsked) {
  const std::string input = dir_->path() + "/clip.mp4";
  const std::string out = dir_->path() + "/tools";
  fs::create_directories(out);
  EXPECT_EQ(kal::ResolutionAt(2).width, 1280);
  EXPECT_EQ(kal::ResolutionAt(12).height, 240);
  EXPECT_EQ(kal::ResolutionAt(13).width, 0);
  const std::pair<const char*, int> jobs[] = {{"mp4", 0}, {"flv", 12}, {"wmv", 11}, {"avi", 0},
                                              {"mov", 10}, {"mkv", 0}};
  for (const auto& [ext, sizeIndex] : jobs) {
    SCOPED_TRACE(ext);
    const auto r = RunJob(kal::ConvertArgs(input, kal::ResolutionAt(sizeIndex)),
                          kal::ToolOutputPath(out, input, 0, ext));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(fs::path(r.output).filename().string().substr(0, 5), "clip-");
    const auto info = kaltest::ProbeFile(r.output, false);
    ASSERT_TRUE(info.opened && info.Find(AVMEDIA_TYPE_VIDEO) && info.Find(AVMEDIA_TYPE_AUDIO));
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_VIDEO)->codec, AV_CODEC_ID_H264);
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC);
    EXPECT_EQ(info.Find(AVMEDIA_TYPE_VIDEO)->width, sizeIndex ? kal::ResolutionAt(sizeIndex).width : 320);
  }

  // Presets: the same source, ever smaller; the slider's CRF wins over them.
  kal::CompressChoice choice;
  EXPECT_STREQ(kal::CompressExtension(choice), "mp4");
  EXPECT_EQ(kal::CompressSliderPercent(34, 18, 51), 48);
  std::uintmax_t last = fs::file_size(input) * 10;
  for (const auto type : {kal::CompressType::kGeneral, kal::CompressType::kDeep, kal::CompressType::kLimit}) {
    choice.type = type;
    const auto r = RunJob(kal::CompressArgs(input, {}, choice), out + "/small.mp4");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_LT(fs::file_size(r.output), last);
    last = fs::file_size(r.output);
  }
  choice.custom = true;
  choice.sliderCrf = 51;
  const auto slider = RunJob(kal::CompressArgs(input, {}, choice), out + "/smallest.mp4");
  ASSERT_TRUE(slider.ok) << slider.error;
  EXPECT_LT(fs::file_size(slider.output), last) << "CRF 51 beats the deepest preset";

  // A cut: the arguments hold its times; the output lasts its range within
  // a picture, and its progress counts against that range.
  const auto cut = kal::CutArgs(input, 3661.25, 3700.5);
  EXPECT_NE(std::find(cut.begin(), cut.end(), "01:01:01.250"), cut.end());
  EXPECT_NE(std::find(cut.begin(), cut.end(), "01:01:40.500"), cut.end());
  std::int64_t reached = 0;
  const auto r = RunJob(kal::CutArgs(input, 1.0, 3.5), out + "/cut.mp4", 2500, &reached);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_GT(reached, 2500 * 9 / 10);
  const auto info = kaltest::ProbeFile(r.output, false);
  ASSERT_TRUE(info.opened && info.Find(AVMEDIA_TYPE_VIDEO));
  EXPECT_NEAR(info.Find(AVMEDIA_TYPE_VIDEO)->duration, 2.5, 0.041);
}

}  // namespace
