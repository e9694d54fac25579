// The settings dialog of the window program, driven from outside as a user
// would: its controls found on the accessibility bus and clicked or typed
// into with xdotool. What is checked is configure.ini, the screen, the
// hotkeys as another program's window has the focus, and the next
// recording's file.

#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "OutputFolder.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

// After gtest: X defines None.
#include <X11/keysym.h>

#include "HeldKey.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDialog = "设置";
constexpr std::uint32_t kRed = 0xFF0000;

std::string Stored(std::string_view section, std::string_view key) {
  std::string v;
  kal::ConfigStore::Instance()->GetString(section, key, "<missing>", v, 600);
  return v;
}

// A folder on a read-only mount (root, as the tests run, writes anywhere else).
class ReadOnlyFolder {
 public:
  ReadOnlyFolder() { mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0; }
  ~ReadOnlyFolder() {
    if (mounted_) ::umount(dir_.path().c_str());
  }
  bool Ok() const { return mounted_; }
  const std::string& path() const { return dir_.path(); }

 private:
  kaltest::TempDir dir_;
  bool mounted_ = false;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
    kal::cfg::Write(kal::cfg::kMouseCheck, 0);  // the pointer's own shape stays out of the pictures
    ASSERT_TRUE(screen.Ok());
  }
  // Clicks the control of `role` reading `text` in `window`.
  void Click(const std::string& role, const std::string& text, const std::string& window = kDialog) {
    const auto centres = program().Centres(role, window);
    const auto it = centres.find(text);
    ASSERT_NE(it, centres.end()) << role << " '" << text << "' in '" << window << "'";
    program().Xdo("mousemove " + std::to_string(it->second.first) + " " +
                  std::to_string(it->second.second) + " click 1");
    std::this_thread::sleep_for(400ms);
  }
  void Tab(const std::string& name) { Click("page tab", name); }
  // Picks `entry` of the drop-down list showing `shown` by typing it, as a
  // user can (the bus names a list by what it shows; its label is a relation).
  void Choose(const std::string& shown, const std::string& entry) {
    Click("combo box", shown);  // opens its list
    program().Xdo("type --delay 30 '" + entry + "'");
    program().Keys("Return");
  }
  // The notice box says `text`; its button closes it.
  void Answer(const std::string& text) {
    EXPECT_TRUE(program().Shows("label", text)) << text;
    Click("push button", "确定", "提示");
  }
  bool WaitForKeys() {
    for (int i = 0; i < 100 && Stored("hotkey", "stop-key2") == "<missing>"; ++i) std::this_thread::sleep_for(100ms);
    return Stored("hotkey", "stop-key2") != "<missing>";
  }
  // Records with the hotkeys; `during` runs while it records.
  void Record(const std::string& start, const std::string& folder, const std::function<void()>& during) {
    program().Xdo("key --clearmodifiers " + start);
    ASSERT_TRUE(kaltest::WaitForUnfinished(folder));
    const auto begun = std::chrono::steady_clock::now();
    during();
    std::this_thread::sleep_until(begun + 2500ms);
    program().Xdo("key --clearmodifiers alt+F12");
  }
  kaltest::Program& program() { return *program_; }

  kaltest::TempDir out;
  kaltest::XTestScreen screen;
  std::unique_ptr<kaltest::Program> program_;
};

TEST_F(SettingsTest, EverySettingIsOneClickAwayAndTheNextRecordingUsesIt) {
  ReadOnlyFolder readOnly;
  ASSERT_TRUE(readOnly.Ok()) << "a read-only mount needs root";
  kaltest::TempDir mine;
  kaltest::WriteFile(mine / "kalTmp", "the user's own");
  program_ = std::make_unique<kaltest::Program>();
  ASSERT_TRUE(WaitForKeys());
  // Another client holds Alt+F9.
  const kaltest::HeldKey other(XK_F9);
  ASSERT_TRUE(other.Ok());

  program().A11y("click", "push button", "设置");
  ASSERT_TRUE(program().Shows("page tab", "基本设置"));
  Choose("24", "15");
  // The region shows its red frame at once, and follow-the-pointer takes it away.
  Click("check box", "区域录制");
  EXPECT_EQ(Stored("global", "user-defined-region-check"), "1");
  EXPECT_EQ(screen.Pixel(480, 270), kRed);
  Click("check box", "跟随鼠标录制");
  EXPECT_EQ(Stored("global", "user-defined-region-check"), "0");
  EXPECT_EQ(Stored("mouse-follow", "mouse-follow-check"), "1");
  EXPECT_NE(screen.Pixel(480, 270), kRed);
  Click("check box", "跟随鼠标录制");  // the whole screen again

  Tab("鼠标效果");
  Click("check box", "高亮鼠标周围");
  EXPECT_EQ(Stored("mouse-effect", "mouse-hot-region-check"), "1");
  Tab("水印");
  Click("radio button", "文字水印");
  Click("text", "水印文字");
  program().Keys("ctrl+a");
  program().Xdo("type --delay 30 'KALTEST'");

  // A key another program holds fails, and the old one still records.
  Tab("快捷键");
  Choose("F8", "F9");
  Click("push button", "保存热键");
  Answer("[开始/暂停], 热键设置失败!");
  EXPECT_EQ(Stored("hotkey", "start-pause-key2"), "119");
  Record("alt+F8", out.path(), [&] {
    EXPECT_TRUE(program().Shows("label", "正在录制：修改的录制设置从下一次录制开始生效"));
  });
  EXPECT_EQ(kaltest::FinishedFiles(out.path(), 1).size(), 1u);
  Choose("F9", "F7");
  Click("push button", "保存热键");
  Answer("[开始/暂停], 热键设置成功!");
  Answer("[停止], 热键设置成功!");
  EXPECT_EQ(Stored("hotkey", "start-pause-key2"), "118");

  // Only a folder that can be written is taken, and a file of the user's is left alone.
  Tab("其他设置");
  Click("push button", "更改目录");
  program().ChooseFile("选择视频存放目录", readOnly.path());
  Answer("该目录没有写入权限!");
  EXPECT_EQ(Stored("global", "output-dir"), out.path());
  Click("push button", "更改目录");
  program().ChooseFile("选择视频存放目录", mine.path());
  EXPECT_EQ(Stored("global", "output-dir"), mine.path());
  EXPECT_EQ(kaltest::ReadFile(mine / "kalTmp"), "the user's own");
  Click("push button", "确定");
  EXPECT_EQ(Stored("global", "video-framerate"), "15");
  EXPECT_EQ(Stored("global", "watermark-text-desc"), "KALTEST");

  // The new key starts a recording from another program's window.
  kaltest::Subprocess term({"xterm", "-geometry", "40x10+1300+50", "-title", "focused-term"}, kaltest::Quiet());
  std::this_thread::sleep_for(1s);
  program().Xdo("search --name '^focused-term$' windowfocus --sync");
  screen.WarpPointer(1600, 800);
  Record("alt+F7", mine.path(), [] {});
  const auto files = kaltest::FinishedFiles(mine.path(), 1);
  ASSERT_EQ(files.size(), 2u) << "the user's file and the recording";
  const fs::path recording = files[0].filename() == "kalTmp" ? files[1] : files[0];
  const auto video = kaltest::ProbeVideo(recording.string());
  ASSERT_TRUE(video);
  EXPECT_NEAR(video->pts.size() / video->duration, 15, 1.5);
  const auto pictures = kaltest::DecodePictures(recording.string(), [](int i) { return i == 15; });
  ASSERT_EQ(pictures.size(), 1u);
  int red = 0, yellow = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      const auto p = pictures[0].At(x, y);
      red += p.r > 150 && p.g < 90 && p.b < 90;
    }
  for (int y = 770; y < 830; ++y)
    for (int x = 1570; x < 1630; ++x) {
      const auto p = pictures[0].At(x, y);
      yellow += p.r > 35 && p.g > 35 && p.b + 25 < p.r;  // a light yellow over the dark desktop
    }
  EXPECT_GT(red, 100) << "the text watermark at the top left";
  EXPECT_GT(yellow, 400) << "the highlight around the pointer";

  // The camera box opens one preview, however often it is clicked.
  for (int i = 0; i < 2; ++i) {
    program().A11y("click", "push button", "设置");
    ASSERT_TRUE(program().Shows("page tab", "基本设置"));
    Click("check box", "打开摄像头预览");
    EXPECT_FALSE(program().Shows("page tab", "基本设置", true)) << "the dialog makes way";
  }
  EXPECT_EQ(program().Shell("xdotool search --onlyvisible --name '^CCameraWindow$' | wc -l"), "1\n");
}

}  // namespace
