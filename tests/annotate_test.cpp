// Drawing on the screen as a user does: Alt+K opens the canvas, the palette
// chooses tool, size and colour, the mouse draws. What is checked is what
// the screen shows (the X server's pixels) and what a recording made
// meanwhile holds, on a private Xvfb of each size, with and without a
// compositor.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
#include "Sanitizers.h"


namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kDesk = 0x336699;

struct Rgb {
  int r, g, b;
};
Rgb Of(std::uint32_t v) { return {int(v >> 16) & 255, int(v >> 8) & 255, int(v) & 255}; }
bool Near(std::uint32_t v, Rgb want, int tol = 14) {
  const Rgb c = Of(v);
  return std::abs(c.r - want.r) <= tol && std::abs(c.g - want.g) <= tol && std::abs(c.b - want.b) <= tol;
}
// The desktop as the canvas leaves it: its ground of alpha 1 (or 2 where
// erased) moves a channel by a step or two under a compositor.
bool IsDesk(std::uint32_t v) { return Near(v, Of(0x336699), 3); }
bool SameDesk(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!Near(a[i], Of(b[i]), 3)) return false;
  return true;
}
std::string Str(std::uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "#%06x", v);
  return s;
}

struct ScreenSetup {
  int width;
  int height;
  bool compositor;
  bool record;
};

std::string Name(const testing::TestParamInfo<ScreenSetup>& info) {
  return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
         (info.param.compositor ? "Composited" : "Plain");
}

// The program on a private server of the setup's size with a plain desktop
// and a window that blinks under the canvas.
class AnnotateTest : public testing::TestWithParam<ScreenSetup> {
 protected:
  void SetUp() override {
    const ScreenSetup& s = GetParam();
    // The larger screens and the compositor run the same drawing code at
    // other sizes and through other windows; under the sanitizers the plain
    // 1920x1080 run checks that code, in a quarter of the time.
    if (kaltest::kUnderSanitizer && (s.width > 1920 || s.compositor))
      GTEST_SKIP() << "drawn on in the plain build";
    x_ = std::make_unique<kaltest::PrivateX>(kaltest::PrivateX::Kind::kXvfb, 24,
                                             std::to_string(s.width) + "x" + std::to_string(s.height));
    ASSERT_TRUE(x_->Ok());
    dpy_ = x_->Display();
    if (s.compositor) {
      compositor_ = std::make_unique<kaltest::Subprocess>(
          std::vector<std::string>{"sh", "-c", "DISPLAY=" + dpy_ + " exec xcompmgr"}, kaltest::Quiet());
      std::this_thread::sleep_for(500ms);
    }
    screen_ = std::make_unique<kaltest::XTestScreen>(dpy_.c_str());
    ASSERT_TRUE(screen_->Ok());
    screen_->AddWindow(0, 0, s.width, s.height, kDesk);
    x0_ = s.width - 460;
    blinker_ = screen_->AddWindow(x0_ + 320, 300, 60, 60, 0x000000);
    std::filesystem::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out_.path());
    kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
    app_ = std::make_unique<kaltest::Program>(dpy_);
  }
  void TearDown() override {
    app_.reset();
    compositor_.reset();
  }

  std::uint32_t At(int x, int y) { return screen_->Pixel(x, y); }
  void Xdo(const std::string& args) { app_->Xdo(args); }
  // A palette control, clicked as a user does: the pointer rests on it first.
  // (No --sync on a first move: it waits forever when the pointer is there.)
  void Choose(const std::string& name) {
    const auto it = palette_.find(name);
    ASSERT_NE(it, palette_.end()) << name;
    Xdo("mousemove " + std::to_string(it->second.first) + " " +
        std::to_string(it->second.second));
    std::this_thread::sleep_for(150ms);
    Xdo("click 1");
    std::this_thread::sleep_for(150ms);
  }
  // A slow drag through the points, in steps, as a hand draws.
  void Draw(int x1, int y1, int x2, int y2, bool hold = false) {
    Xdo("mousemove " + std::to_string(x1) + " " + std::to_string(y1));
    std::this_thread::sleep_for(150ms);  // a hand comes to rest before it presses
    std::string args = "mousedown 1";
    for (int i = 1; i <= 6; ++i)
      args += " mousemove --sync " + std::to_string(x1 + (x2 - x1) * i / 6) + " " +
              std::to_string(y1 + (y2 - y1) * i / 6);
    Xdo(args + (hold ? "" : " mouseup 1"));
    std::this_thread::sleep_for(150ms);
  }
  void Click(int x, int y) {
    Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y));
    std::this_thread::sleep_for(150ms);
    Xdo("click 1");
    std::this_thread::sleep_for(200ms);
  }
  // Rows of `x` (from y - 15 to y + 15) that show `want`.
  int RowsShowing(int x, int y, Rgb want) {
    int rows = 0;
    for (int r = y - 15; r <= y + 15; ++r) rows += Near(At(x, r), want) ? 1 : 0;
    return rows;
  }
  // The box of dark pixels (text) in a part of the screen; empty when none.
  struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    std::vector<int> rows;  // rows holding dark pixels
  };
  Ink DarkIn(int x, int y, int w, int h) {
    Ink ink;
    const auto px = screen_->Capture(x, y, w, h);
    for (int r = 0; r < h; ++r) {
      bool any = false;
      for (int c = 0; c < w; ++c) {
        const Rgb v = Of(px[static_cast<size_t>(r) * w + c]);
        if (v.r + v.g + v.b > 150) continue;
        any = true;
        ink.left = std::min(ink.left, x + c), ink.right = std::max(ink.right, x + c);
        ink.top = std::min(ink.top, y + r), ink.bottom = std::max(ink.bottom, y + r);
      }
      if (any) ink.rows.push_back(y + r);
    }
    return ink;
  }
  // The dark box of the first band of rows of `ink`, found in the part
  // starting at (x, y).
  Ink FirstLine(int x, int y, const Ink& ink) {
    size_t n = 1;
    while (n < ink.rows.size() && ink.rows[n] == ink.rows[n - 1] + 1) ++n;
    return DarkIn(x, y, 120, ink.rows[n - 1] - y + 1);
  }
  static int Bands(const std::vector<int>& rows) {
    int bands = 0;
    for (size_t i = 0; i < rows.size(); ++i) bands += (i == 0 || rows[i] != rows[i - 1] + 1) ? 1 : 0;
    return bands;
  }

  // Records while the canvas is open (see below).
  void Record();

  std::unique_ptr<kaltest::PrivateX> x_;
  std::string dpy_;
  std::unique_ptr<kaltest::Subprocess> compositor_;
  std::unique_ptr<kaltest::XTestScreen> screen_;
  unsigned long blinker_ = 0;
  int x0_ = 0;
  kaltest::TempDir out_;
  std::unique_ptr<kaltest::Program> app_;
  std::map<std::string, std::pair<int, int>> palette_;
};

TEST_P(AnnotateTest, EveryToolDrawsOverTheLiveScreen) {
  const ScreenSetup& s = GetParam();
  const int x0 = x0_;
  const bool plain = !s.compositor;
  // Translucent ink over the desktop with a compositor; over white without.
  const auto over = [&](Rgb c, int alpha) {
    const Rgb under = plain ? Rgb{255, 255, 255} : Of(kDesk);
    const auto mix = [alpha](int a, int b) { return (a * alpha + b * (255 - alpha)) / 255; };
    return Rgb{mix(c.r, under.r), mix(c.g, under.g), mix(c.b, under.b)};
  };
  const Rgb red{255, 0, 0}, blue{66, 100, 255}, yellow{254, 248, 81};

  app_->Keys("--clearmodifiers alt+k");
  palette_ = app_->Centres("check box", "屏幕画笔");
  for (const auto& [name, at] : app_->Centres("push button", "屏幕画笔")) palette_[name] = at;
  ASSERT_EQ(palette_.size(), 28u) << "3 buttons, 4 sizes, 12 colours, 9 tools";
  const auto free = [&] { return screen_->Capture(x0 + 250, 100, 50, s.height - 200); };
  const auto before = free();

  // The blinking window under the canvas keeps changing on the screen (a
  // compositor shows the change on its next frame).
  const auto shows = [&](int x, int y, Rgb c) {
    for (int i = 0; i < 20 && !Near(At(x, y), c); ++i) std::this_thread::sleep_for(50ms);
    return Near(At(x, y), c);
  };
  screen_->Paint(blinker_, 0xFFFFFF);
  EXPECT_TRUE(shows(x0 + 350, 330, {255, 255, 255})) << Str(At(x0 + 350, 330));
  screen_->Paint(blinker_, 0x000000);
  EXPECT_TRUE(shows(x0 + 350, 330, {0, 0, 0})) << Str(At(x0 + 350, 330));

  // The pen (red, 2 pixels) is chosen at first.
  Draw(x0, 60, x0 + 100, 60);
  Draw(x0 + 100, 60, x0 + 100, 120);
  EXPECT_GE(RowsShowing(x0 + 50, 60, red), 1) << Str(At(x0 + 50, 60));
  EXPECT_TRUE(Near(At(x0 + 100, 100), red)) << Str(At(x0 + 100, 100));

  // A click without movement leaves nothing.
  Choose("矩形");
  Click(x0 + 200, 300);
  EXPECT_TRUE(IsDesk(At(x0 + 200, 300)));

  // Size 4 in blue: the outlines; the pen stroke keeps its colour and width.
  Choose("画笔大小 4");
  Choose("蓝色");
  Draw(x0, 200, x0 + 150, 280);
  EXPECT_TRUE(Near(At(x0, 240), blue)) << Str(At(x0, 240));
  EXPECT_TRUE(IsDesk(At(x0 + 75, 240))) << "a rectangle's inside stays as it was";
  Choose("椭圆");
  Draw(x0, 320, x0 + 150, 400);
  EXPECT_GE(RowsShowing(x0 + 75, 321, blue), 2);
  EXPECT_TRUE(IsDesk(At(x0 + 75, 360)));
  Choose("直线");
  Draw(x0, 440, x0 + 150, 440);
  EXPECT_GE(RowsShowing(x0 + 75, 440, blue), 3);
  Choose("箭头");
  Draw(x0, 500, x0 + 150, 500);
  EXPECT_GE(RowsShowing(x0 + 139, 500, blue), 9) << "the head, 16 long and 16 wide at its base";
  EXPECT_LE(RowsShowing(x0 + 75, 500, blue), 5) << "the shaft";
  EXPECT_LE(RowsShowing(x0 + 50, 60, red), 3) << "the pen stroke is still 2 pixels wide";
  EXPECT_TRUE(Near(At(x0 + 100, 100), red));

  // The marker: broad and translucent (a solid lighter colour without a
  // compositor).
  Choose("荧光笔");
  Choose("黄色");
  Draw(x0, 560, x0 + 150, 560);
  EXPECT_TRUE(Near(At(x0 + 75, 560), over(yellow, 150), 16)) << Str(At(x0 + 75, 560));
  EXPECT_GE(RowsShowing(x0 + 75, 560, over(yellow, 150)), 13);
  EXPECT_LE(RowsShowing(x0 + 75, 560, over(yellow, 150)), 18);

  // Numbered marks: a number once given is not given again after an undo;
  // undo and redo go last in, first out.
  Choose("序号");
  Choose("红色");
  const auto mark = [&](int i) { return screen_->Capture(x0 + 40 * i + 8, 628, 24, 24); };
  for (int i = 0; i < 3; ++i) Click(x0 + 40 * i + 20, 640);
  EXPECT_TRUE(Near(At(x0 + 13, 640), red)) << Str(At(x0 + 13, 640));
  EXPECT_TRUE(Near(At(x0 + 20, 631), red));
  const auto m1 = mark(0), m2 = mark(1), m3 = mark(2);
  EXPECT_NE(m1, m2) << "each mark shows its own number";
  Choose("撤销");
  EXPECT_TRUE(IsDesk(At(x0 + 93, 640))) << "mark 3 undone";
  Click(x0 + 100, 640);
  EXPECT_TRUE(Near(At(x0 + 93, 640), red));
  EXPECT_NE(mark(2), m3) << "the new mark shows 4, not 3 again";
  EXPECT_EQ(mark(0), m1);
  EXPECT_EQ(mark(1), m2);
  Choose("撤销");
  Choose("撤销");
  Choose("重做");
  EXPECT_EQ(mark(1), m2) << "the mark undone last comes back first";
  EXPECT_TRUE(IsDesk(At(x0 + 93, 640)));

  // The eraser: a dark box while dragging, cleared after; what is drawn
  // later lies over the cleared part.
  Choose("橡皮擦");
  Draw(x0 - 10, 190, x0 + 160, 290, true);
  EXPECT_TRUE(Near(At(x0 + 75, 240), over({0, 0, 0}, 0x32), 10)) << Str(At(x0 + 75, 240));
  Xdo("mouseup 1");
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(IsDesk(At(x0, 240))) << "the rectangle is erased";
  Choose("直线");
  Choose("蓝色");
  Draw(x0, 250, x0 + 150, 250);
  EXPECT_TRUE(Near(At(x0 + 75, 250), blue));
  EXPECT_TRUE(IsDesk(At(x0, 240)));

  // Text: two lines, committed by the next click where the box showed them.
  Choose("文字");
  Choose("黑色");
  Click(x0, 700);
  Xdo("type --delay 40 'AB'");
  Xdo("key Return");
  Xdo("type --delay 40 'CD'");
  std::this_thread::sleep_for(400ms);
  // The box's caret blinks after the second line: the first line is
  // compared.
  const Ink typed = DarkIn(x0 + 6, 706, 120, 80);
  ASSERT_EQ(Bands(typed.rows), 2) << "two lines in the box";
  const Ink typedFirst = FirstLine(x0 + 6, 706, typed);
  Click(x0 + 200, 900);
  std::this_thread::sleep_for(300ms);
  const Ink drawn = DarkIn(x0 + 6, 706, 120, 80);
  EXPECT_EQ(Bands(drawn.rows), 2) << "the line feed is kept";
  const Ink drawnFirst = FirstLine(x0 + 6, 706, drawn);
  EXPECT_NEAR(drawnFirst.left, typedFirst.left, 2);
  EXPECT_NEAR(drawnFirst.right, typedFirst.right, 2);
  EXPECT_NEAR(drawnFirst.top, typedFirst.top, 2);
  EXPECT_NEAR(drawnFirst.bottom, typedFirst.bottom, 2);
  EXPECT_TRUE(IsDesk(At(x0 + 90, 706))) << "the box is gone";
  // Choosing another tool commits an open box.
  Click(x0, 800);
  Xdo("type --delay 40 'E'");
  std::this_thread::sleep_for(300ms);
  Choose("画笔");
  EXPECT_EQ(Bands(DarkIn(x0 + 6, 806, 60, 40).rows), 1) << "the typed text is kept";

  // The bottom-right corner of the screen takes drawing too.
  Choose("红色");
  Draw(s.width - 60, s.height - 60, s.width - 4, s.height - 4);
  EXPECT_TRUE(Near(At(s.width - 30, s.height - 30), red)) << Str(At(s.width - 30, s.height - 30));

  // Beside the drawings the screen is the desktop below.
  EXPECT_TRUE(SameDesk(free(), before)) << "nothing drawn shows beside the drawings";
  EXPECT_TRUE(IsDesk(At(x0 + 200, 300)));

  // The keyboard: Ctrl+Z undoes on the canvas, Tab reaches the palette and
  // Escape comes back.
  app_->Keys("ctrl+z");
  EXPECT_TRUE(IsDesk(At(s.width - 30, s.height - 30))) << "Ctrl+Z took the last stroke back";
  app_->Keys("Tab");
  EXPECT_NE(app_->Focus().find("关闭画笔"), std::string::npos) << app_->Focus();
  app_->Keys("Escape");
  app_->Keys("ctrl+y");
  EXPECT_TRUE(Near(At(s.width - 30, s.height - 30), red)) << "Ctrl+Y on the canvas again";
  if (s.record) Record();
  // Alt+K again closes the canvas with its palette and drawings.
  app_->Keys("--clearmodifiers alt+k");
  EXPECT_TRUE(IsDesk(At(x0 + 75, 560))) << Str(At(x0 + 75, 560));
  EXPECT_FALSE(app_->Shows("push button", "撤销", true)) << "the palette is gone";
}

void AnnotateTest::Record() {
  const ScreenSetup& s = GetParam();
  const int x0 = x0_;
  const Rgb yellow{254, 248, 81}, desk = Of(kDesk);
  const auto over = [&](Rgb c, int alpha) {
    const Rgb under = s.compositor ? Of(kDesk) : Rgb{255, 255, 255};
    const auto mix = [alpha](int a, int b) { return (a * alpha + b * (255 - alpha)) / 255; };
    return Rgb{mix(c.r, under.r), mix(c.g, under.g), mix(c.b, under.b)};
  };
  // A recording started, paused and stopped by the hotkeys while the canvas
  // has the focus. After 2 s of still screen a rectangle is drawn and the
  // blinker turns white at once; then the blinker blinks.
  kaltest::Run("export DISPLAY=" + dpy_ + "; xdotool key --clearmodifiers alt+F8");
  const auto started = Clock::now();
  ASSERT_TRUE(kaltest::WaitForUnfinished(out_.path()));
  std::this_thread::sleep_for(2s);
  Choose("矩形");
  Choose("浅绿色");
  std::this_thread::sleep_for(2s);
  Draw(x0 + 320, 120, x0 + 400, 200);
  screen_->Paint(blinker_, 0xFFFFFF);
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(100ms);
    screen_->Paint(blinker_, i % 2 ? 0xFFFFFF : 0x000000);
  }
  const auto pauseFrom = Clock::now();
  app_->Keys("--clearmodifiers alt+F8");
  const auto pauseTo = Clock::now();
  std::this_thread::sleep_for(1500ms);
  const auto resumeFrom = Clock::now();
  app_->Keys("--clearmodifiers alt+F8");
  const auto resumeTo = Clock::now();
  std::this_thread::sleep_for(1s);
  app_->Keys("--clearmodifiers alt+F12");
  const auto stopped = Clock::now();
  const auto files = kaltest::FinishedFiles(out_.path(), 1);
  ASSERT_EQ(files.size(), 1u);

  const auto info = kaltest::ProbeFile(files[0].string(), false);
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  const auto secs = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
  EXPECT_LT(v->duration, secs(stopped - started) - secs(resumeFrom - pauseTo) + 0.3) << "paused";
  EXPECT_GT(v->duration, secs(stopped - started) - secs(resumeTo - pauseFrom) - 1.0);

  const auto pictures = kaltest::DecodePictures(files[0].string(), [](int) { return true; });
  ASSERT_FALSE(pictures.empty());
  const auto near = [](kaltest::RgbPicture::Px p, Rgb c, int tol) {
    return std::abs(p.r - c.r) <= tol && std::abs(p.g - c.g) <= tol && std::abs(p.b - c.b) <= tol;
  };
  const Rgb green{100, 255, 39};
  int firstWhite = -1, firstDrawn = -1, whites = 0, blacks = 0;
  for (const auto& p : pictures) {
    const auto blink = p.At(x0 + 350, 330);
    const bool white = near(blink, {255, 255, 255}, 40), black = near(blink, {0, 0, 0}, 40);
    if (white && firstWhite < 0) firstWhite = p.index;
    if (firstWhite >= 0) whites += white, blacks += black;
    if (firstDrawn < 0 && near(p.At(x0 + 320, 160), green, 60)) firstDrawn = p.index;
  }
  ASSERT_GE(firstWhite, 0);
  ASSERT_GE(firstDrawn, 0) << "the rectangle is in the recording";
  EXPECT_LE(firstDrawn, firstWhite + 2) << "drawn after a still screen, it is in the next pictures";
  EXPECT_GE(whites, 3) << "the blinker under the canvas keeps blinking in the recording";
  EXPECT_GE(blacks, 3);
  const auto& last = pictures.back();
  EXPECT_TRUE(near(last.At(x0 + 75, 560), over(yellow, 150), 40)) << "the marker, at its place";
  EXPECT_TRUE(near(last.At(x0 + 250, 500), desk, 30)) << "beside the drawings the desktop";
}

INSTANTIATE_TEST_SUITE_P(Screens, AnnotateTest,
                         // Each size and each way of drawing once; the recording
                         // of the ink once.
                         testing::Values(ScreenSetup{1920, 1080, false, true},
                                         ScreenSetup{2560, 1440, true, false}),
                         Name);

}  // namespace
