// A self-painted overlay window of the window layer under Xvfb (no
// compositor): the region frame shows red around its rectangle, the desktop
// inside stays visible and takes the clicks, and a drag on the border moves
// it. Pixels are read back from the X server.

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>


#include <gtest/gtest.h>

#include "Subprocess.h"
#include "XTestScreen.h"
#include "overlay/RegionFrame.h"

namespace {

QImage Screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

bool Red(const QImage& img, int x, int y) { return img.pixelColor(x, y) == QColor(255, 0, 0); }
bool Blue(const QImage& img, int x, int y) { return img.pixelColor(x, y) == QColor(0, 0, 255); }

// The X window under the pointer, as the server says ("WINDOW=" of xdotool).
std::string WindowUnder(int x, int y) {
  kaltest::Run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
  const std::string text = kaltest::Output("xdotool getmouselocation --shell");
  const auto at = text.find("WINDOW=");
  return at == std::string::npos ? "" : text.substr(at + 7, text.find('\n', at) - at - 7);
}

TEST(RegionFrameTest, ShowsItsBorderLetsTheDesktopThroughAndMovesByItsBorder) {
  kaltest::XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  screen.Fill(0, 0, 1920, 1080, 0x0000FF);
  kal::RegionFrame frame(QRect(200, 200, 400, 300));
  QRect moved;
  frame.OnMoved([&](const QRect& r) { moved = r; });
  frame.show();
  QTest::qWait(500);

  QImage img = Screen();
  EXPECT_TRUE(Red(img, 197, 197)) << "the border, outside the rectangle";
  EXPECT_TRUE(Red(img, 601, 350));
  EXPECT_TRUE(Blue(img, 200, 200)) << "the rectangle itself is not covered";
  EXPECT_TRUE(Blue(img, 400, 350)) << "the desktop shows through";

  const std::string frameWindow = std::to_string(frame.winId());
  EXPECT_EQ(WindowUnder(198, 350), frameWindow) << "the border takes the pointer";
  EXPECT_NE(WindowUnder(400, 350), frameWindow) << "clicks inside reach the desktop";

  // Drag the left border by (50, 20).
  kaltest::Run("xdotool mousemove --sync 198 350 mousedown 1 mousemove --sync 220 360 "
               "mousemove --sync 248 370 mouseup 1");
  QTest::qWait(400);
  EXPECT_EQ(moved, QRect(250, 220, 400, 300));
  EXPECT_EQ(frame.Area(), QRect(250, 220, 400, 300));
  img = Screen();
  EXPECT_TRUE(Red(img, 247, 217));
  EXPECT_FALSE(Red(img, 197, 197)) << "nothing left at the old place";

  // Locked while recording: a drag changes nothing.
  frame.SetLocked(true);
  kaltest::Run("xdotool mousemove --sync 248 400 mousedown 1 mousemove --sync 300 420 mouseup 1");
  QTest::qWait(300);
  EXPECT_EQ(frame.Area(), QRect(250, 220, 400, 300));
}

}  // namespace
