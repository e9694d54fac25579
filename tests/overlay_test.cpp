// The overlays' geometry (frame drags, the rectangle tracker, what a
// selection stores) and the region frame as a window under Xvfb: red bars
// just outside the region, the desktop visible and clickable inside, edge
// drags that keep 20 pixels and store even sizes, nothing moving while
// locked. Pixels are read back from the X server, keys from configure.ini.

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

// Before Xlib's headers, whose macros (CursorShape) clash with Qt's names.
#include "overlay/FrameGeometry.h"
#include "overlay/RectTracker.h"
#include "overlay/UserDefineRegion.h"
#include "overlay/VideoMask.h"

#include "Subprocess.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"

namespace {

using kal::CXRectTracker;
using kal::FrameGrip;
const QRect kScreen(0, 0, 1920, 1080);

TEST(FrameGeometryTest, GripsFollowTheEdgesCornersAndInside) {
  const QRect f(100, 100, 400, 300);  // right 500, bottom 400
  EXPECT_EQ(kal::HitGrip(f, {300, 101}), FrameGrip::kTop);
  EXPECT_EQ(kal::HitGrip(f, {300, 398}), FrameGrip::kBottom);
  EXPECT_EQ(kal::HitGrip(f, {101, 250}), FrameGrip::kLeft);
  EXPECT_EQ(kal::HitGrip(f, {498, 250}), FrameGrip::kRight);
  EXPECT_EQ(kal::HitGrip(f, {101, 101}), FrameGrip::kTopLeft);
  EXPECT_EQ(kal::HitGrip(f, {498, 101}), FrameGrip::kTopRight);
  EXPECT_EQ(kal::HitGrip(f, {101, 398}), FrameGrip::kBottomLeft);
  EXPECT_EQ(kal::HitGrip(f, {498, 398}), FrameGrip::kBottomRight);
  EXPECT_EQ(kal::HitGrip(f, {300, 250}), FrameGrip::kMove);
  EXPECT_EQ(kal::HitGrip(f, {50, 50}), FrameGrip::kNone);
}

TEST(FrameGeometryTest, DragsKeepTwentyPixelsAndStayOnTheScreen) {
  const QRect f(100, 100, 400, 300);
  // The top edge dragged far below the bottom stops 20 above it.
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kTop, {300, 101}, f}.To({300, 900}, kScreen)),
            QRect(100, 380, 400, 20));
  // So does every other edge.
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kBottom, {300, 398}, f}.To({300, 0}, kScreen)),
            QRect(100, 100, 400, 20));
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kLeft, {101, 250}, f}.To({1500, 250}, kScreen)),
            QRect(480, 100, 20, 300));
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kBottomRight, {498, 398}, f}.To({0, 0}, kScreen)),
            QRect(100, 100, 20, 20));
  // Edges and moves stop at the screen's edges.
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kTopLeft, {101, 101}, f}.To({-50, -80}, kScreen)),
            QRect(0, 0, 500, 400));
  EXPECT_EQ((kal::FrameDrag{FrameGrip::kMove, {300, 250}, f}.To({1919, 1079}, kScreen)),
            QRect(1520, 780, 400, 300));
}

TEST(FrameGeometryTest, StoredRegionIsInsideTheFrameWithEvenSizes) {
  // The middle quarter, its region inset by 3 on every side.
  const QRect frame = kal::DefaultFrame(kScreen);
  EXPECT_EQ(frame, QRect(480, 270, 960, 540));
  EXPECT_EQ(kal::RegionInside(frame), QRect(483, 273, 954, 534));
  EXPECT_EQ(kal::RegionInside(QRect(10, 10, 647, 487)), QRect(13, 13, 640, 480));
  EXPECT_EQ(kal::FrameAround(QRect(13, 13, 640, 480)), QRect(10, 10, 646, 486));
}

TEST(FrameGeometryTest, ToolbarStaysAboveTheFrameAndOnTheScreen) {
  const QRect f(100, 200, 400, 300);
  EXPECT_EQ(kal::ToolbarPlace(f, 26, kScreen), QRect(100, 174, 400, 26));
  EXPECT_EQ(kal::ToolbarPlace(QRect(100, 10, 400, 300), 26, kScreen), QRect(100, 310, 400, 26))
      << "no room above: below, never over the region";
  // Dragged far up and left: the toolbar stops at 0, the frame right below.
  EXPECT_EQ(kal::FrameAfterToolbarDrag(f, {-500, -900}, 26, kScreen), QRect(0, 26, 400, 300));
  EXPECT_EQ(kal::FrameAfterToolbarDrag(f, {5000, 5000}, 26, kScreen), QRect(1520, 780, 400, 300));
  // A box that would sit on the frame moves beside it.
  EXPECT_EQ(kal::KeepClearOf(f, QRect(100, 174, 400, 26), {300, 300}, {120, 28}, kScreen),
            QPoint(502, 200));
  EXPECT_EQ(kal::KeepClearOf(f, QRect(100, 174, 400, 26), {1700, 50}, {120, 28}, kScreen),
            QPoint(1700, 50));
}

TEST(RectTrackerTest, HandlesHitAndTurnInsideOut) {
  CXRectTracker t;
  t.rect = {100, 100, 300, 200};
  EXPECT_EQ(t.GetHandleMask(), 0xFFu);
  EXPECT_EQ(t.HitTest({97, 97}), CXRectTracker::kTopLeft);
  EXPECT_EQ(t.HitTest({301, 201}), CXRectTracker::kBottomRight);
  EXPECT_EQ(t.HitTest({200, 97}), CXRectTracker::kTop);
  EXPECT_EQ(t.HitTest({200, 150}), CXRectTracker::kMiddle);
  EXPECT_EQ(t.HitTest({50, 50}), CXRectTracker::kNothing);

  // The bottom-right corner pulled past the top-left: inverted, the held
  // handle is now drawn at the top-left, and the size is what was dragged.
  ASSERT_TRUE(t.Track({301, 201}));
  t.MoveTo({51, 51});
  EXPECT_EQ(t.rect.ToQRect(), QRect(50, 50, 50, 50));
  EXPECT_EQ(t.NormalizeHit(CXRectTracker::kBottomRight), CXRectTracker::kTopLeft);
  // Never below 8 x 8, whichever way.
  t.MoveTo({104, 104});
  EXPECT_EQ(t.rect.ToQRect(), QRect(100, 100, 8, 8));
  t.EndTrack({104, 104});
  EXPECT_FALSE(t.Tracking());
}

TEST(RectTrackerTest, CancelRestoresAndBoundsHold) {
  CXRectTracker t;
  t.bounds = {0, 0, 1920, 1080};
  t.rect = {100, 100, 300, 200};
  ASSERT_TRUE(t.Track({200, 150}));
  t.MoveTo({5000, 150});
  EXPECT_EQ(t.rect.ToQRect(), QRect(1720, 100, 200, 100)) << "pushed back inside";
  t.CancelTrack();
  EXPECT_EQ(t.rect.ToQRect(), QRect(100, 100, 200, 100));

  t.TrackRubberBand({400, 400});
  t.MoveTo({701, 501});
  t.EndTrack({701, 501});
  EXPECT_EQ(t.rect.ToQRect(), QRect(400, 400, 301, 101));
}

TEST(RegionSelectionTest, StoresEvenSizesOrTheScreen) {
  const QRect screen(1920, 0, 1920, 1080);
  EXPECT_EQ(kal::CUserDefineRegion::StoredRegion(QRect(2000, 10, 301, 201), screen),
            QRect(2000, 10, 302, 202));
  EXPECT_EQ(kal::CUserDefineRegion::StoredRegion(QRect(), screen), screen);
  EXPECT_EQ(kal::CUserDefineRegion::StoredRegion(QRect(2000, 10, 2, 100), screen),
            QRect(2000, 10, 1920, 1080));
}

bool Red(std::uint32_t rgb) { return rgb == 0xFF0000; }

// The window under the pointer, as the server says ("WINDOW=" of xdotool).
std::string WindowUnder(int x, int y) {
  kaltest::Run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
  const std::string text = kaltest::Output("xdotool getmouselocation --shell");
  const auto at = text.find("WINDOW=");
  return at == std::string::npos ? "" : text.substr(at + 7, text.find('\n', at) - at - 7);
}

TEST(VideoMaskTest, ShowsBarsOutsideTheRegionAndDragsKeepTheRules) {
  kaltest::XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  screen.Fill(0, 0, 1920, 1080, 0x0000FF);
  kal::cfg::Write(kal::cfg::kRegionOffsetX, 203);
  kal::cfg::Write(kal::cfg::kRegionOffsetY, 203);
  kal::cfg::Write(kal::cfg::kRegionWidth, 800);
  kal::cfg::Write(kal::cfg::kRegionHeight, 600);
  kal::CVideoMask mask;
  mask.Create();
  mask.Load(true);
  mask.show();
  QTest::qWait(500);

  EXPECT_TRUE(Red(screen.Pixel(200, 200))) << "the frame, outside the region";
  EXPECT_TRUE(Red(screen.Pixel(1005, 805)));
  EXPECT_EQ(screen.Pixel(203, 203), 0x0000FFu) << "the region itself is not covered";
  EXPECT_EQ(screen.Pixel(1002, 802), 0x0000FFu);
  const std::string maskWindow = std::to_string(mask.winId());
  EXPECT_EQ(WindowUnder(201, 500), maskWindow) << "the bars take the pointer";
  EXPECT_NE(WindowUnder(500, 500), maskWindow) << "clicks inside reach the desktop";

  // The right bar 159 to the left and the bottom one 119 up: 647 x 487
  // around a region of 641 x 481, which the toolbar that follows the frame
  // stores as 640 x 480.
  mask.ShowToolbar();
  kaltest::Run("xdotool mousemove --sync 1004 500 mousedown 1 mousemove --sync 900 500 "
               "mousemove --sync 845 500 mouseup 1");
  kaltest::Run("xdotool mousemove --sync 500 804 mousedown 1 mousemove --sync 500 685 mouseup 1");
  QTest::qWait(400);
  EXPECT_EQ(mask.Frame(), QRect(200, 200, 647, 487));
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kRegionWidth), 640);
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kRegionHeight), 480);
  // The top bar dragged down past the bottom: 20 high.
  kaltest::Run("xdotool mousemove --sync 500 201 mousedown 1 mousemove --sync 500 1000 mouseup 1");
  QTest::qWait(400);
  EXPECT_EQ(mask.Frame(), QRect(200, 667, 647, 20));
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kRegionHeight), 14);
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kRegionOffsetY), 670);
  EXPECT_TRUE(Red(screen.Pixel(500, 668)));
  EXPECT_FALSE(Red(screen.Pixel(500, 201))) << "nothing left at the old place";

  // Locked while recording: a drag changes nothing.
  mask.SetEditable(false);
  kaltest::Run("xdotool mousemove --sync 500 668 mousedown 1 mousemove --sync 500 100 mouseup 1");
  QTest::qWait(300);
  EXPECT_EQ(mask.Frame(), QRect(200, 667, 647, 20));
}

}  // namespace
