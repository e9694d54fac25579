// The camera preview window as a user meets it, with the engine's
// synthetic camera (an FFmpeg test source) standing in: its picture on the
// screen at the top right, a camera recording told the camera is busy while
// it shows, no camera said in the window, a camera that ends leaving its
// last picture, and nothing left behind after many windows.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

#include "PlayerFixture.h"
#include "TempDir.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "overlay/CameraWindow.h"
#include "recorder/Recorder.h"

namespace kaltest {
namespace {

using kal::CCameraWindow;

constexpr const char* kGreenCamera = "color=c=0x00C000:size=640x480:rate=25,realtime";
// Where the picture's middle shows on the 1920-wide test screen.
constexpr int kPictureX = 1920 - 250 + 115, kPictureY = 20 + 28 + 80;

bool Green(std::uint32_t rgb) {
  return ((rgb >> 16) & 0xFF) < 50 && std::abs(static_cast<int>((rgb >> 8) & 0xFF) - 0xC0) < 40 &&
         (rgb & 0xFF) < 50;
}

QString Text(CCameraWindow* w, const char* label) {
  return w->FindControl<QLabel>(label)->text();
}

void CloseByItsButton(CCameraWindow* w) {
  w->FindControl<QAbstractButton>(CCameraWindow::kClose)->click();
  PumpUntil(200);
}

TEST(CameraWindowTest, ShowsTheCameraAndARecordingIsToldItIsBusy) {
  XTestScreen screen;
  ASSERT_TRUE(screen.Ok());
  CCameraWindow::SetInputForTesting("lavfi", kGreenCamera);
  CCameraWindow* w = CCameraWindow::Open();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(PumpUntil(3000, [&] { return Green(screen.Pixel(kPictureX, kPictureY)); }))
      << std::hex << screen.Pixel(kPictureX, kPictureY);
  EXPECT_EQ(w->geometry(), QRect(1920 - 250, 20, 230, 188));

  TempDir dir;
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  kal::Recorder rec(nullptr);
  rec.SetCameraInputForTesting("lavfi", kGreenCamera);
  EXPECT_EQ(rec.Start("busy.mp4", dir.path(), "mp4", 25, 1), kal::ERR_CAMERA_BUSY);

  CloseByItsButton(w);
  ASSERT_EQ(rec.Start("free.mp4", dir.path(), "mp4", 25, 1), 0) << "closed, the camera is free";
  rec.Stop();
}

TEST(CameraWindowTest, WithoutACameraItSaysSoAndClosesNormally) {
  CCameraWindow::SetInputForTesting("", "");
  QPointer<CCameraWindow> w = CCameraWindow::Open();
  ASSERT_TRUE(w);
  PumpUntil(300);
  EXPECT_EQ(Text(w, CCameraWindow::kStatus), "未找到摄像头");
  EXPECT_TRUE(w->FindControl(CCameraWindow::kStatus)->isVisible());
  CloseByItsButton(w);
  EXPECT_TRUE(w.isNull()) << "the window is gone";
}

TEST(CameraWindowTest, ACameraThatEndsLeavesItsLastPictureAndSaysSo) {
  XTestScreen screen;
  CCameraWindow::SetInputForTesting("lavfi", "color=c=0x00C000:size=320x240:rate=25:duration=1,realtime");
  CCameraWindow* w = CCameraWindow::Open();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(PumpUntil(4000, [&] { return Text(w, CCameraWindow::kTitle) == "摄像头已断开"; }));
  PumpUntil(300);
  EXPECT_TRUE(Green(screen.Pixel(kPictureX, kPictureY))) << "the last picture stays";
  CloseByItsButton(w);
}

TEST(CameraWindowTest, TwentyWindowsLeaveNoThreadAndNoFileBehind) {
  CCameraWindow::SetInputForTesting("lavfi", kGreenCamera);
  CloseByItsButton(CCameraWindow::Open());  // SDL's own threads start once
  const int threads = Entries("/proc/self/task"), files = Entries("/proc/self/fd");
  for (int i = 0; i < 20; ++i) {
    CCameraWindow* w = CCameraWindow::Open();
    ASSERT_NE(w, nullptr);
    PumpUntil(100);
    CloseByItsButton(w);
  }
  PumpUntil(300);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(Entries("/proc/self/fd"), files);
}

}  // namespace
}  // namespace kaltest
