// The file lists and the media tools driven from outside, as a user (or a
// screen reader user) would: rows and their menus are found on the
// accessibility bus and reached by keyboard; files are chosen in the
// open-file dialog; what comes out is probed.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "Clips.h"
#include "MediaProbe.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "config/ConfigKeys.h"

namespace fs = std::filesystem;

namespace kaltest {
namespace {

// The files of `folder` whose names end in `suffix`.
std::vector<std::string> FilesEndingIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      found.push_back(e.path().string());
  }
  return found;
}

bool Has(const std::string& lines, const std::string& line) {
  std::istringstream in(lines);
  for (std::string l; std::getline(in, l);)
    if (l == line) return true;
  return false;
}

// Every "N%" label shown, polled until "100%" or "失败" shows; the distinct
// values in the order they came.
std::vector<int> FollowProgress(Program& program, int seconds) {
  std::vector<int> seen;
  const std::regex percent("^([0-9]+)%$");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::istringstream labels(program.Names("label"));
    bool failed = false;
    for (std::string l; std::getline(labels, l);) {
      std::smatch m;
      if (std::regex_match(l, m, percent) && (seen.empty() || seen.back() != std::stoi(m[1])))
        seen.push_back(std::stoi(m[1]));
      failed |= l == "失败";
    }
    if (failed || (!seen.empty() && seen.back() == 100)) break;
    std::this_thread::sleep_for(50ms);
  }
  return seen;
}

class ToolPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  }
  TempDir out;
  FakeOpener opener;
};

// Rows, their buttons and their menu by keyboard: rename (refused onto a
// taken name), delete into the trash, remove, open the folder, play.
TEST_F(ToolPagesTest, RowsAndTheirMenusWorkFromTheKeyboard) {
  ASSERT_TRUE(MakeClip(out / "a.mp4", 2));
  ASSERT_TRUE(MakeClip(out / "b.mp4", 3));
  Program program("", opener.Env());
  for (const char* shown : {"a.mp4", "b.mp4", "00:00:02", "00:00:03"})
    EXPECT_TRUE(program.Shows("label", shown)) << shown << " in\n" << program.Names("label");

  program.A11y("click", "push button", "播放");  // the first row's
  EXPECT_NE(opener.Opened("a.mp4").find(out / "a.mp4"), std::string::npos);

  // From the first row's play button: along the row to its menu button.
  program.Keys("Right Right");
  EXPECT_EQ(program.Focus(), "push button\t更多\ta.mp4\n");
  program.Keys("space");
  EXPECT_EQ(program.Focus(), "push button\t打开文件夹\t\n") << "the menu has the focus";
  program.Keys("Escape");
  EXPECT_TRUE(program.Names("push button").find("打开文件夹") == std::string::npos) << "closed";

  // Rename a.mp4 onto b: refused, both files stay; then to c.
  program.A11y("click", "push button", "更多");
  program.Keys("Down space");
  program.Keys("ctrl+a");
  program.Xdo("type b");
  program.Keys("Return");
  EXPECT_TRUE(program.Shows("label", "已有同名文件：b.mp4")) << program.Names("label");
  EXPECT_TRUE(fs::exists(out / "a.mp4") && fs::exists(out / "b.mp4"));
  program.Keys("ctrl+a");
  program.Xdo("type c");
  program.Keys("Return");
  EXPECT_TRUE(program.Shows("label", "c.mp4")) << program.Names("label");
  EXPECT_TRUE(fs::exists(out / "c.mp4") && !fs::exists(out / "a.mp4"));

  // Down from the first row's menu button reaches the second row's.
  program.A11y("click", "push button", "更多");
  program.Keys("Escape");
  program.Keys("Down");
  EXPECT_EQ(program.Focus(), "push button\t更多\tb.mp4\n");
  // Delete b.mp4: asked first, then into the trash.
  program.Keys("space Down Down Down space");
  program.A11y("click", "push button", "确定");
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(fs::exists(out / "b.mp4"));
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  EXPECT_TRUE(fs::exists(trash + "/files/b.mp4"));
  EXPECT_TRUE(fs::exists(trash + "/info/b.mp4.trashinfo"));
  EXPECT_FALSE(program.Shows("label", "b.mp4", true));

  // The folder of c.mp4, then c.mp4 off the list (the file stays).
  program.A11y("click", "push button", "更多");
  program.Keys("space");
  EXPECT_TRUE(Has(opener.Opened(out.path() + "\n"), out.path())) << opener.Opened();
  program.A11y("click", "push button", "更多");
  program.Keys("Down Down space");
  EXPECT_FALSE(program.Shows("label", "c.mp4", true));
  EXPECT_TRUE(fs::exists(out / "c.mp4"));
}

// A file chosen on the convert page, into MKV at 320x240; its row's
// progress rises to 100 %.
TEST_F(ToolPagesTest, TheConvertPageConvertsAChosenFileShowingItsProgress) {
  TempDir sources;
  const std::string folder = sources.path() + "/my clips $HOME";
  fs::create_directories(folder);
  ASSERT_TRUE(MakeClip(folder + "/talk.mp4", 20, kNoise));  // slow enough to watch
  Program program("", opener.Env());
  program.A11y("click", "radio button", "格式转换");
  program.A11y("click", "push button", "添加文件");
  program.ChooseFile("添加文件", folder + "/talk.mp4");
  ASSERT_TRUE(program.Shows("label", "talk.mp4")) << program.Names("label");
  // The combo boxes by keyboard: the format's last entry (mkv), the last size.
  program.A11y("click", "combo box", "mp4");
  program.Keys("End Return");
  program.A11y("click", "combo box", "原始");
  program.Keys("End Return");
  program.A11y("click", "push button", "转换");
  const std::vector<int> seen = FollowProgress(program, 120);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  EXPECT_GE(seen.size(), 5u) << "rising steps";
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  const auto outputs = FilesEndingIn(out.path(), ".mkv");
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(fs::path(outputs[0]).filename().string().rfind("talk-", 0), 0u) << outputs[0];
  EXPECT_TRUE(FilesEndingIn(out.path(), ".mp4").empty()) << "no temporary file is left";
  const MediaInfo info = ProbeFile(outputs[0], false);
  ASSERT_TRUE(info.opened) << info.error;
  const StreamInfo* video = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codec, AV_CODEC_ID_H264);
  EXPECT_EQ(video->width, 320);
  EXPECT_EQ(video->height, 240);
  ASSERT_NE(info.Find(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_EQ(info.Find(AVMEDIA_TYPE_AUDIO)->codec, AV_CODEC_ID_AAC);
  EXPECT_NEAR(video->duration, 20, 0.2);
}

// A recorded file sent to the cut page: a range of none, or of an end
// before its start, is refused on the page; then the range picked with
// "取当前" is written.
TEST_F(ToolPagesTest, ARecordingSentToTheCutPageIsCutToThePickedRange) {
  ASSERT_TRUE(MakeClip(out / "lesson.mp4", 12, "testsrc=size=640x480:rate=25"));
  Program program("", opener.Env());
  program.A11y("click", "push button", "剪切");  // the row's: plays it on the cut page
  std::this_thread::sleep_for(1500ms);
  program.A11y("click", "push button", "剪切");  // the page's: no range yet
  EXPECT_TRUE(program.Shows("label", "请选择截取位置")) << program.Names("label");

  // Playing from 0: the end at about 1 s, then the start at about 3 s.
  std::this_thread::sleep_for(1000ms);
  program.A11y("click", "push button", "取当前位置为结束");
  std::this_thread::sleep_for(2000ms);
  program.A11y("click", "push button", "取当前位置为开始");
  program.A11y("click", "push button", "剪切");
  EXPECT_TRUE(program.Shows("label", "结束位置必须大于开始位置")) << program.Names("label");
  std::this_thread::sleep_for(2500ms);
  program.A11y("click", "push button", "取当前位置为结束");
  // The edits show the range: hours, minutes, seconds, milliseconds.
  std::istringstream edits(program.Names("text"));
  std::vector<double> parts;
  for (std::string l; std::getline(edits, l);) parts.push_back(std::stod(l));
  ASSERT_EQ(parts.size(), 8u) << program.Names("text");
  const double start = parts[0] * 3600 + parts[1] * 60 + parts[2] + parts[3] / 1000;
  const double end = parts[4] * 3600 + parts[5] * 60 + parts[6] + parts[7] / 1000;
  ASSERT_GT(start, 2.0);
  ASSERT_GT(end - start, 1.5);

  program.A11y("click", "push button", "剪切");
  const std::vector<int> seen = FollowProgress(program, 60);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
  const auto outputs = FilesEndingIn(out.path(), ".mp4");
  ASSERT_EQ(outputs.size(), 2u) << "the recording and its cut";
  const std::string cut = outputs[0].find("lesson-") != std::string::npos ? outputs[0] : outputs[1];
  const auto video = ProbeVideo(cut);
  ASSERT_TRUE(video.has_value());
  EXPECT_NEAR(video->duration, end - start, 0.08 + 0.001) << "each end within one picture";
}

}  // namespace
}  // namespace kaltest
