// Region recording as a user meets it, driven from outside: the record
// page's switch shows the red frame and its toolbar, the selection takes a
// window or a rubber band, Escape undoes a drag, and the recording holds
// exactly the picked rectangle without a pixel of the frame. Also with Qt
// scaling by 2 and on the second of two monitors. What is checked is
// configure.ini, the screen's pixels and the recorded file.

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "OutputFolder.h"
#include "PrivateX.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "WindowProgram.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using kaltest::Program;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Rect& r) {
  return o << r.x << "," << r.y << " " << r.w << "x" << r.h;
}

Rect StoredRegion() {
  kal::ConfigStore::Instance()->ClearOverrides();
  return {kal::cfg::Read(kal::cfg::kRegionOffsetX), kal::cfg::Read(kal::cfg::kRegionOffsetY),
          kal::cfg::Read(kal::cfg::kRegionWidth), kal::cfg::Read(kal::cfg::kRegionHeight)};
}

void FreshProfile(const std::string& out) {
  fs::remove(kal::ConfigStore::Instance()->Path());
  kal::cfg::Write(kal::cfg::kOutputDir, out);
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kal::cfg::Write(kal::cfg::kSuspendCheck, 0);
  kal::cfg::Write(kal::cfg::kMouseCheck, 0);  // no cursor drawn into the picture
}

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00C000;

// Records two seconds, started and stopped with the hotkeys; the file's pictures
// must all be `w` x `h` of one colour close to `rgb`.
void RecordAndExpectOnly(Program& program, const std::string& out, int w, int h,
                         std::uint32_t rgb) {
  program.Xdo("key --clearmodifiers alt+F8");
  ASSERT_TRUE(kaltest::WaitForUnfinished(out));
  std::this_thread::sleep_for(2s);
  program.Xdo("key --clearmodifiers alt+F12");
  const auto files = kaltest::FinishedFiles(out, 1);
  ASSERT_EQ(files.size(), 1u);
  const auto pictures = kaltest::DecodePictures(files[0].string(), [](int i) { return i % 5 == 0; });
  ASSERT_FALSE(pictures.empty());
  const int r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  for (const auto& p : pictures) {
    ASSERT_EQ(p.width, w);
    ASSERT_EQ(p.height, h);
    int off = 0, red = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const auto px = p.At(x, y);
        if (px.r > 150 && px.g < 90 && px.b < 90) ++red;
        if (std::abs(px.r - r) > 40 || std::abs(px.g - g) > 40 || std::abs(px.b - b) > 40) ++off;
      }
    EXPECT_EQ(red, 0) << "picture " << p.index << " holds the frame";
    EXPECT_LT(off, w * h / 100) << "picture " << p.index << " is not the picked content";
  }
}

// A fresh profile recording into a folder of its own, over a blue desktop
// (also where windows go away).
class RegionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshProfile(out.path());
    ASSERT_TRUE(screen.Ok());
    kaltest::Run("xsetroot -solid '#0000FF'");
  }
  kaltest::TempDir out;
  kaltest::XTestScreen screen;
};

TEST_F(RegionTest, FrameShowsAroundTheMiddleQuarterAndItsToolbarStopsAtTheTop) {
  Program program;
  program.A11y("click", "check box", "区域录制");
  std::this_thread::sleep_for(700ms);

  EXPECT_EQ(StoredRegion(), (Rect{483, 273, 954, 534})) << "the middle quarter, inset by 3";
  kal::ConfigStore::Instance()->ClearOverrides();
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kUserDefinedRegionCheck), 1);
  EXPECT_EQ(screen.Pixel(480, 270), kRed);
  EXPECT_EQ(screen.Pixel(1439, 809), kRed);
  EXPECT_NE(screen.Pixel(483, 273), kRed) << "the region is left uncovered";

  // The toolbar sits right above the frame; dragged far up, it stops at
  // y = 0 with the frame below it.
  std::istringstream close(program.A11y("find", "push button", "关闭区域录制"));
  Rect button;
  close >> button.x >> button.y >> button.w >> button.h;
  ASSERT_GT(button.w, 0);
  const int toolbarHeight = 270 - button.y;
  EXPECT_GE(toolbarHeight, button.h);
  program.Drag({{700, button.y + 5}, {700, 100}, {700, 0}});
  EXPECT_EQ(StoredRegion(), (Rect{483, toolbarHeight + 3, 954, 534}));
  EXPECT_EQ(screen.Pixel(700, toolbarHeight), kRed);
  EXPECT_EQ(screen.Pixel(700, 2), 0x202833u) << "the toolbar at the top";

  // The close button leaves region recording.
  program.A11y("click", "push button", "关闭区域录制");
  std::this_thread::sleep_for(500ms);
  kal::ConfigStore::Instance()->ClearOverrides();
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kUserDefinedRegionCheck), 0);
  EXPECT_NE(screen.Pixel(700, toolbarHeight), kRed);
}

TEST_F(RegionTest, AWindowOrARubberBandIsPickedAndRecordedWithoutTheFrame) {
  kaltest::Subprocess term({"xterm", "-geometry", "60x20+200+150", "-bg", "#00C000", "-fg",
                            "#00C000", "-cr", "#00C000", "-title", "picked-window"},
                           kaltest::Quiet());
  std::string id;
  for (int i = 0; i < 50 && id.empty(); ++i) {
    std::this_thread::sleep_for(100ms);
    id = kaltest::Output("xdotool search --name '^picked-window$' | head -n1");
    if (!id.empty()) id.pop_back();  // the line's end
  }
  ASSERT_FALSE(id.empty());
  std::istringstream info(kaltest::Output(
      "xwininfo -id " + id +
      " | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} "
      "/Width:/{w=$NF} /Height:/{h=$NF} /Border width:/{b=$NF} END{print x+b, y+b, w, h}'"));
  Rect window;  // inside its border
  info >> window.x >> window.y >> window.w >> window.h;
  ASSERT_GT(window.w, 200);
  Program program;

  // Escape leaves the selection without a change.
  const Rect before = StoredRegion();
  program.OpenSelection();
  program.Xdo("key Escape");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(StoredRegion(), before);
  kal::ConfigStore::Instance()->ClearOverrides();
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kUserDefinedRegionCheck), 0);

  // The window under the cursor is framed in blue, the rest darkened; a
  // click takes its rectangle and a double click stores it.
  program.OpenSelection();
  program.Xdo("mousemove --sync " + std::to_string(window.x + 100) + " " +
              std::to_string(window.y + 100));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(screen.Pixel(window.x + 1, window.y + 50), 0x28A3EEu);
  const std::uint32_t outside = screen.Pixel(100, 1000);
  EXPECT_LT(outside & 0xFF, 0xF0u) << "darkened";
  EXPECT_GT(outside & 0xFF, 0x80u) << "but still visible";
  program.Xdo("click 1");
  std::this_thread::sleep_for(300ms);
  program.DoubleClickAt(window.x + 100, window.y + 100);
  EXPECT_EQ(StoredRegion(),
            (Rect{window.x, window.y, window.w + (window.w & 1), window.h + (window.h & 1)}));
  kal::ConfigStore::Instance()->ClearOverrides();
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kUserDefinedRegionCheck), 1) << "picking switches it on";
  EXPECT_EQ(screen.Pixel(window.x - 1, window.y + 50), kRed) << "the frame around the pick";

  // A rubber band inside the window, a handle drag undone with Escape, then
  // a double click: the band is stored with even sizes.
  program.OpenSelection();
  const int bx = window.x + 40, by = window.y + 30;
  program.Drag({{bx, by}, {bx + 100, by + 100}, {bx + 201, by + 101}});
  program.Xdo("mousemove --sync " + std::to_string(bx + 202) + " " + std::to_string(by + 102) +
              " mousedown 1 mousemove --sync " + std::to_string(bx + 250) + " " +
              std::to_string(by + 180) + " key Escape mouseup 1");
  std::this_thread::sleep_for(300ms);
  program.DoubleClickAt(bx + 50, by + 50);
  EXPECT_EQ(StoredRegion(), (Rect{bx, by, 202, 102}));
  program.Xdo("mousemove 1800 1000");

  RecordAndExpectOnly(program, out.path(), 202, 102, kGreen);
}

TEST_F(RegionTest, ScaledByTwoTheSamePixelsArePickedAndRecorded) {
  screen.Fill(301, 201, 401, 301, kGreen);
  Program program("", "QT_SCALE_FACTOR=2", 2);
  program.OpenSelection();
  program.Drag({{301, 201}, {500, 400}, {601, 401}});
  program.DoubleClickAt(400, 300);
  EXPECT_EQ(StoredRegion(), (Rect{301, 201, 300, 200}));
  // Twice its size, the main window would cover the region.
  program.Xdo("search --name '^KAL屏幕录制$' windowmove %@ 0 700");
  std::this_thread::sleep_for(300ms);
  screen.Fill(301, 201, 300, 200, kGreen);  // the root window repainted what it showed
  // The frame's bars lie just outside, to the pixel.
  EXPECT_EQ(screen.Pixel(298, 300), kRed);
  EXPECT_EQ(screen.Pixel(300, 300), kRed);
  EXPECT_EQ(screen.Pixel(301, 300), kGreen);
  EXPECT_EQ(screen.Pixel(600, 400), kGreen);
  EXPECT_EQ(screen.Pixel(601, 401), kRed);
  program.Xdo("mousemove 1800 1000");
  RecordAndExpectOnly(program, out.path(), 300, 200, kGreen);
}

TEST_F(RegionTest, OnTwoMonitorsTheSelectionCoversTheOneUnderTheCursor) {
  kaltest::PrivateX x(kaltest::PrivateX::Kind::kXvfb, 24, "3840x1080");
  ASSERT_TRUE(x.Ok());
  ASSERT_TRUE(x.Run("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen && "
                    "xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none"));
  kaltest::XTestScreen wide(x.Display().c_str());
  ASSERT_TRUE(wide.Ok());
  wide.Fill(0, 0, 3840, 1080, 0x0000FF);
  Program program(x.Display());

  // No selection: the whole monitor under the cursor, in root coordinates.
  program.A11y("click", "push button", "选择区域");
  program.Xdo("mousemove --sync 2500 500");
  std::this_thread::sleep_for(1200ms);
  program.DoubleClickAt(2500, 500);
  EXPECT_EQ(StoredRegion(), (Rect{1920, 0, 1920, 1080}));

  program.A11y("click", "push button", "选择区域");
  program.Xdo("mousemove --sync 2500 500");
  std::this_thread::sleep_for(1200ms);
  program.Drag({{2100, 100}, {2300, 200}, {2401, 301}});
  program.DoubleClickAt(2200, 200);
  EXPECT_EQ(StoredRegion(), (Rect{2100, 100, 302, 202}));
  EXPECT_EQ(wide.Pixel(2097, 200), kRed);
}

}  // namespace
