// Screens other than the harness's one 24-bit monitor: several monitors, a
// screen that changes size while recording, a 16-bit desktop. Each runs on
// an X server of the test's own; kalrec records it as a user would.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "KalrecRun.h"
#include "MediaProbe.h"
#include "PrivateX.h"
#include "XTestScreen.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kaltest::PrivateX;
using kaltest::RunKalrec;

namespace {

// The test's children (kalrec, xrandr) use `x` while this lives.
class OnDisplay {
 public:
  explicit OnDisplay(const PrivateX& x) {
    if (const char* d = std::getenv("DISPLAY")) saved_ = d;
    ::setenv("DISPLAY", x.Display().c_str(), 1);
  }
  ~OnDisplay() {
    if (saved_) {
      ::setenv("DISPLAY", saved_->c_str(), 1);
    } else {
      ::unsetenv("DISPLAY");
    }
  }

 private:
  std::optional<std::string> saved_;
};

// Size and the colour at (x, y) of the recording's first picture.
struct FirstPicture {
  int width = 0;
  int height = 0;
  kaltest::RgbPicture::Px at{};
};
FirstPicture Look(const std::string& file, int x, int y) {
  const auto pics = kaltest::DecodePictures(file, [](int i) { return i == 2; });
  if (pics.empty()) return {};
  return {pics[0].width, pics[0].height, pics[0].At(x, y)};
}

bool Near(kaltest::RgbPicture::Px p, int r, int g, int b) {
  return std::abs(p.r - r) < 24 && std::abs(p.g - g) < 24 && std::abs(p.b - b) < 24;
}

TEST(ScreenTest, FullScreenIsThePrimaryMonitorAndOthersCanBeChosen) {
  PrivateX x(PrivateX::Kind::kDummy);
  ASSERT_TRUE(x.Ok());
  ASSERT_TRUE(x.Run("xrandr --addmode DUMMY1 1920x1080 && "
                    "xrandr --output DUMMY1 --mode 1920x1080 --right-of DUMMY0"));
  kaltest::XTestScreen screen(x.Display().c_str());
  ASSERT_TRUE(screen.Ok());
  screen.Fill(0, 0, 1920, 1080, 0x0000FF);     // the primary monitor: blue
  screen.Fill(1920, 0, 1920, 1080, 0xFF0000);  // the second: red
  kaltest::TempDir dir;
  OnDisplay on(x);

  const auto devices = RunKalrec({"devices"});
  EXPECT_NE(devices.out.find("screen: 3840x1080"), std::string::npos) << devices.out;
  EXPECT_NE(devices.out.find("monitor 0: DUMMY0 1920x1080+0+0 (full screen)"), std::string::npos)
      << devices.out;
  EXPECT_NE(devices.out.find("monitor 1: DUMMY1 1920x1080+1920+0\n"), std::string::npos)
      << devices.out;

  struct Case {
    const char* area;
    int width;
    int r, g, b;  // at (100, 100)
  };
  for (const Case& c : {Case{"full", 1920, 0, 0, 255}, Case{"screen:1", 1920, 255, 0, 0},
                        Case{"all", 3840, 0, 0, 255}}) {
    SCOPED_TRACE(c.area);
    const std::string file = dir / (std::string("m-") + c.area + ".mkv");
    const auto r = RunKalrec({"record", "--out", file, "--seconds", "1", "--fps", "10", "--area",
                              c.area, "--sound", "none"});
    ASSERT_EQ(r.status, 0) << r.err;
    const FirstPicture p = Look(file, 100, 100);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, 1080);
    EXPECT_TRUE(Near(p.at, c.r, c.g, c.b)) << p.at.r << "," << p.at.g << "," << p.at.b;
  }
  const auto wrong = RunKalrec({"record", "--out", dir / "x.mkv", "--area", "screen:2"});
  EXPECT_NE(wrong.status, 0);
  EXPECT_NE(wrong.err.find("no monitor 2"), std::string::npos) << wrong.err;
}

TEST(ScreenTest, AScreenThatChangesSizeKeepsTheRecordingGoing) {
  PrivateX x(PrivateX::Kind::kDummy);
  ASSERT_TRUE(x.Ok());
  kaltest::XTestScreen screen(x.Display().c_str());
  screen.Fill(0, 0, 1920, 1080, 0x00FF00);
  kaltest::TempDir dir;
  OnDisplay on(x);
  const std::string file = dir / "resized.mkv";
  kaltest::Subprocess kalrec(kaltest::KalrecArgs({"record", "--out", file, "--seconds", "6",
                                                  "--fps", "10", "--sound", "none"}),
                             kaltest::Quiet(dir / "err", dir / "out"));
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(x.Run("xrandr --output DUMMY0 --mode 1280x720"));
  screen.Fill(0, 0, 1280, 720, 0x00FF00);
  std::this_thread::sleep_for(2s);
  ASSERT_TRUE(x.Run("xrandr --output DUMMY0 --mode 1920x1080"));
  screen.Fill(0, 0, 1920, 1080, 0x00FF00);
  EXPECT_EQ(kalrec.Wait(), 0) << kaltest::ReadFile(dir / "err");

  const auto info = kaltest::ProbeFile(file);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GE(v->framesDecoded, 57) << "the capture went on through both changes";
  EXPECT_NEAR(v->duration, 6.0, 0.3);
  // While the screen was small: its part is in the picture, black beside it;
  // once it is large again, the whole of it.
  const auto pics = kaltest::DecodePictures(file, [](int i) { return i == 35 || i == 57; });
  ASSERT_EQ(pics.size(), 2u);
  EXPECT_TRUE(Near(pics[0].At(100, 100), 0, 255, 0));
  EXPECT_TRUE(Near(pics[0].At(1800, 1000), 0, 0, 0));
  EXPECT_TRUE(Near(pics[1].At(1800, 1000), 0, 255, 0));
}

TEST(ScreenTest, A16BitDesktopIsRecordedInItsColours) {
  PrivateX x(PrivateX::Kind::kXvfb, 16);
  ASSERT_TRUE(x.Ok());
  kaltest::XTestScreen screen(x.Display().c_str());
  screen.Fill(0, 0, 1920, 1080, 0x000000);
  screen.Fill(0, 0, 400, 300, 0xFF8000);
  screen.Fill(400, 0, 400, 300, 0x2080FF);
  kaltest::TempDir dir;
  OnDisplay on(x);
  const std::string file = dir / "sixteen.mkv";
  const auto r = RunKalrec({"record", "--out", file, "--seconds", "1", "--fps", "10", "--sound", "none"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto pics = kaltest::DecodePictures(file, [](int i) { return i == 2; });
  ASSERT_EQ(pics.size(), 1u);
  const auto orange = pics[0].At(200, 150);
  const auto blue = pics[0].At(600, 150);
  EXPECT_TRUE(Near(orange, 255, 128, 0)) << orange.r << "," << orange.g << "," << orange.b;
  EXPECT_TRUE(Near(blue, 32, 128, 255)) << blue.r << "," << blue.g << "," << blue.b;
}

}  // namespace
