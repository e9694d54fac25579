// The cut page's player driven from outside as a user would: the file is
// chosen in the open-file dialog, its pictures appear in the page (also
// with Qt scaling by 2), "duration" shows its length, and at its end the
// page is back at rest. Pause and the buttons' visibility are checked on
// the accessibility bus.

#include <gtest/gtest.h>

#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "XTestScreen.h"

namespace kaltest {
namespace {

bool Near(std::uint32_t rgb, std::uint32_t want) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>((rgb >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 40)
      return false;
  return true;
}

class CutPageTest : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    ASSERT_TRUE(kaltest::Run("ffmpeg -y -loglevel error -f lavfi -i smptebars=size=640x360:rate=30:duration=6.5 "
                    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=6.5 -ac 2 -c:v libx264 "
                    "-pix_fmt yuv420p -g 30 -c:a aac " + dir_->path() + "/bars.mp4"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static inline TempDir* dir_ = nullptr;
};

TEST_P(CutPageTest, AChosenFilePlaysInThePageToItsEnd) {
  const int scale = GetParam();
  XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  Program program("", "QT_SCALE_FACTOR=" + std::to_string(scale), scale);
  program.Xdo("search --name '^KAL屏幕录制$' windowmove %@ 0 0");  // twice its size, it is tall
  program.A11y("click", "radio button", "视频剪切");
  std::this_thread::sleep_for(500ms);
  program.A11y("click", "push button", "添加视频");
  program.ChooseFile("添加视频", dir_->path() + "/bars.mp4");

  // The length at once; the pictures once the sound has started.
  std::string labels;
  for (int i = 0; i < 50 && labels.find("/ 00:00:06.500") == std::string::npos; ++i) {
    std::this_thread::sleep_for(100ms);
    labels = program.Shell(kA11y + " names label");
  }
  EXPECT_NE(labels.find("/ 00:00:06.500"), std::string::npos) << labels;
  int x = 0, y = 0, w = 0, h = 0;
  ASSERT_TRUE(program.Find("slider", "播放位置", x, y, w, h));
  std::this_thread::sleep_for(2500ms);
  // The seven bars across the top of the picture, above the slider.
  const std::uint32_t bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0};
  const int top = y - 30 * scale - 200 * scale;
  for (int i = 0; i < 7; ++i) {
    const int px = x + static_cast<int>((i + 0.5) * w / 7);
    EXPECT_TRUE(Near(screen.Pixel(px, top), bars[i]))
        << "bar " << i << " at " << px << "," << top << ": " << std::hex << screen.Pixel(px, top);
  }
  const std::string buttons = program.Shell(kA11y + " names 'push button'");
  EXPECT_NE(buttons.find("暂停"), std::string::npos) << "playing: pause is offered";
  EXPECT_EQ(buttons.find("播放"), std::string::npos) << buttons;

  // Paused, then on to the end: the page comes back to rest by itself.
  program.A11y("click", "push button", "暂停");
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(program.Find("push button", "播放", x, y, w, h));
  program.A11y("click", "push button", "播放");
  for (int i = 0; i < 100 && labels.find("00:00:00.000 / 00:00:00.000") == std::string::npos; ++i) {
    std::this_thread::sleep_for(100ms);
    labels = program.Shell(kA11y + " names label");
  }
  EXPECT_NE(labels.find("00:00:00.000 / 00:00:00.000"), std::string::npos) << labels;
  EXPECT_TRUE(program.Find("push button", "播放", x, y, w, h)) << "at the end play is offered";
}

INSTANTIATE_TEST_SUITE_P(Scales, CutPageTest, ::testing::Values(1, 2));

}  // namespace
}  // namespace kaltest
