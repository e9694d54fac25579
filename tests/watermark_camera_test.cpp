// Watermarks and the camera source: descriptions, placements, and real
// recordings whose pictures are inspected.

#include <atomic>
#include <filesystem>
#include <thread>

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "TempDir.h"
#include "RecordingFixture.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "recorder/Recorder.h"
#include "recorder/Trace.h"
#include "recorder/WatermarkText.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(WatermarkTextTest, CornerPlacements) {
  EXPECT_EQ(kal::PlaceWatermark(3, 1920, 1080, 200, 100, 20, 20).x, 1700);
  EXPECT_EQ(kal::PlaceWatermark(3, 1920, 1080, 200, 100, 20, 20).y, 960);
  EXPECT_EQ(kal::PlaceWatermark(1, 1920, 1080, 2000, 100, 20, 5).x, -100);
  EXPECT_EQ(kal::PlaceWatermark(2, 1920, 1080, 200, 100, 7, 20).y, 960);
  EXPECT_EQ(kal::PlaceWatermark(0, 1920, 1080, 200, 100, 7, 9).x, 7);
  EXPECT_EQ(kal::PlaceWatermark(9, 1920, 1080, 200, 100, 7, 9).x, 0);
}

TEST(WatermarkTextTest, DescriptionsEscapePathsAndKeepPlainText) {
  EXPECT_EQ(kal::EscapeFilterPath("C:\\Users\\a\\logo.png"), "'C\\:/Users/a/logo.png'");
  EXPECT_EQ(kal::ImageWatermarkDescription("/opt/kal/kalwm.png", {1700, 960}),
            "movie='/opt/kal/kalwm.png'[wm]; [in][wm]overlay = 1700:960[out]");
  const std::string text =
      kal::TextWatermarkDescription("/opt/kal/microsoftYaHei.ttf", "abc", 20, 20, 32, "yellow");
  EXPECT_EQ(text,
            "drawtext=fontfile='/opt/kal/microsoftYaHei.ttf':text=abc:x=20:y=20:fontsize=32:"
            "fontcolor=yellow:shadowy=1");
  EXPECT_STREQ(kal::FontFileForFamily("宋体"), "songTypeface.ttf");
  EXPECT_STREQ(kal::FontFileForFamily("Some Other Font"), "microsoftYaHei.ttf");
}

TEST(WatermarkTextTest, SpecialCharactersAreQuotedNotInterpreted) {
  EXPECT_EQ(kal::EscapeFilterText("a:b"), "'a\\:b'");
  EXPECT_EQ(kal::EscapeFilterText("it's"), "'it\\'\\''s'");
  EXPECT_EQ(kal::EscapeFilterText("[x],y;z"), "'[x],y;z'");
  EXPECT_EQ(kal::EscapeFilterText("back\\slash"), "'back\\\\slash'");
}

class WatermarkRecordingTest : public kaltest::RecordingFixture {
 protected:
  // Records briefly and returns picture 3.
  kaltest::RgbPicture RecordPicture(const std::string& name, int expectStart = 0) {
    if (expectStart != 0) {
      EXPECT_EQ(rec.Start(name + ".mkv", dir.path(), "mkv", 24, 1), expectStart);
      return {};
    }
    const std::string file = Record(rec, name, "mkv", {{true, 500ms}});
    auto pics = kaltest::DecodePictures(file, [](int i) { return i == 3; });
    EXPECT_EQ(pics.size(), 1u);
    return pics.empty() ? kaltest::RgbPicture{} : pics[0];
  }
  kal::Recorder rec{nullptr};
};

TEST_F(WatermarkRecordingTest, ImageInTheRightBottomCornerLandsAt1700x960) {
  QImage logo(200, 100, QImage::Format_ARGB32);
  logo.fill(QColor(0, 255, 0));
  const std::string path = dir / "logo.png";
  ASSERT_TRUE(logo.save(QString::fromStdString(path)));
  kal::cfg::Write(kal::cfg::kWatermarkType, 1);
  kal::cfg::Write(kal::cfg::kWatermarkImagePath, path);
  kal::cfg::Write(kal::cfg::kWatermarkPos, 3);
  kal::cfg::Write(kal::cfg::kWatermarkRbRight, 20);
  kal::cfg::Write(kal::cfg::kWatermarkRbBottom, 20);
  const auto pic = RecordPicture("image");
  ASSERT_EQ(pic.width, 1920);
  EXPECT_GT(pic.At(1704, 964).g, 200) << "inside, near the top-left corner of the image";
  EXPECT_GT(pic.At(1895, 1055).g, 200) << "inside, near its bottom-right corner";
  EXPECT_LT(pic.At(1694, 964).g, 40) << "left of it";
  EXPECT_LT(pic.At(1704, 954).g, 40) << "above it";
  EXPECT_LT(pic.At(1905, 1065).g, 40) << "in the 20-pixel margin";
}

TEST_F(WatermarkRecordingTest, DefaultImageIsTheProgramsOwn) {
  kal::cfg::Write(kal::cfg::kWatermarkType, 1);
  kal::cfg::Write(kal::cfg::kWatermarkPos, 0);
  kal::cfg::Write(kal::cfg::kWatermarkLtLeft, 10);
  kal::cfg::Write(kal::cfg::kWatermarkLtTop, 10);
  const auto pic = RecordPicture("default");
  const auto px = pic.At(14, 14);  // the logo's blue background
  EXPECT_GT(px.b, 150);
  EXPECT_LT(pic.At(5, 5).b, 40);
}

TEST_F(WatermarkRecordingTest, TextWithSpecialCharactersIsDrawn) {
  kal::cfg::Write(kal::cfg::kWatermarkType, 2);
  kal::cfg::Write(kal::cfg::kWatermarkTextDesc, "KAL: a,b;c'd[e]f\\g 100% 录制");
  kal::cfg::Write(kal::cfg::kWatermarkTextOffsetX, 100);
  kal::cfg::Write(kal::cfg::kWatermarkTextOffsetY, 100);
  kal::cfg::Write(kal::cfg::kWatermarkFontSize, 48);
  kal::cfg::Write(kal::cfg::kWatermarkColor, "yellow");
  const auto pic = RecordPicture("text");
  ASSERT_EQ(pic.width, 1920);
  int yellow = 0;
  int far = 0;
  for (int y = 90; y < 170; ++y) {
    for (int x = 90; x < 1200; ++x) {
      const auto p = pic.At(x, y);
      if (p.r > 150 && p.g > 150 && p.b < 80) ++yellow;
    }
  }
  for (int y = 400; y < 480; ++y)
    for (int x = 90; x < 1200; ++x) far += pic.At(x, y).r > 100;
  EXPECT_GT(yellow, 1500) << "the text is drawn";
  EXPECT_EQ(far, 0) << "and only there";
}

TEST_F(WatermarkRecordingTest, TypeZeroDrawsNothing) {
  kal::cfg::Write(kal::cfg::kWatermarkType, 0);
  kal::cfg::Write(kal::cfg::kWatermarkLtLeft, 10);
  const auto pic = RecordPicture("none");
  EXPECT_LT(pic.At(14, 14).b + pic.At(14, 14).g, 40);
}

TEST_F(WatermarkRecordingTest, MissingImageFailsTheStart) {
  kal::cfg::Write(kal::cfg::kWatermarkType, 1);
  kal::cfg::Write(kal::cfg::kWatermarkImagePath, dir / "missing.png");
  RecordPicture("broken", -1);
  EXPECT_FALSE(fs::exists(dir / "broken.mkv"));
}

TEST_F(WatermarkRecordingTest, NoCameraGives500001AndNoFile) {
  ASSERT_FALSE(fs::exists("/dev/video0")) << "this test needs a machine without a camera";
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  EXPECT_EQ(rec.Start("cam.mp4", dir.path(), "mp4", 24, 1), kal::ERR_NO_VIDEO_DEVICE);
  EXPECT_FALSE(fs::exists(dir / "cam.mp4"));
}

TEST_F(WatermarkRecordingTest, SyntheticCameraIsRecordedAtItsOwnRate) {
  kal::cfg::Write(kal::cfg::kVideoSource, 1);
  rec.SetCameraInputForTesting("lavfi", "testsrc=size=640x480:rate=15,realtime");
  ASSERT_EQ(rec.Start("cam.mp4", dir.path(), "mp4", 24, 1), 0);
  EXPECT_EQ(rec.FrameRate(), 15);
  rec.Run();
  std::this_thread::sleep_for(2000ms);
  rec.Stop();
  ASSERT_TRUE(rec.WaitFinished(10s));
  const auto info = kaltest::ProbeFile(dir / "cam.mp4");
  ASSERT_TRUE(info.opened) << info.error;
  const auto* v = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->width, 640);
  EXPECT_EQ(v->height, 480);
  EXPECT_NEAR(static_cast<double>(v->framesDecoded), 30.0, 4.0);
  EXPECT_NEAR(v->duration, v->framesDecoded / 15.0, 0.1);
  EXPECT_EQ(v->decodeErrors, 0);
}

// Remembers the failure the engine reported.
class FailureReceiver : public kal::MessagePoster {
 public:
  void RecordingFailed(kal::RecordFailure kind) override { failure = kind; }
  std::atomic<int> failure{0};
};

// The converter meets a picture it cannot convert: the recording stops by
// itself and says why, and what came before is a finished, playable file.
TEST_F(WatermarkRecordingTest, AConversionErrorStopsTheRecordingWithAFinishedFile) {
  FailureReceiver owner;
  kal::Recorder recorder(&owner);
  ASSERT_EQ(recorder.Start("broken.mp4", dir.path(), "mp4", 24, 1), 0);
  recorder.Run();
  std::this_thread::sleep_for(1500ms);
  recorder.FailConversionForTesting();
  for (int i = 0; i < 30 && recorder.State() != kal::kStopped; ++i)
    std::this_thread::sleep_for(100ms);
  EXPECT_EQ(recorder.State(), kal::kStopped) << "the recording stopped by itself";
  ASSERT_TRUE(recorder.WaitFinished(10s));
  EXPECT_EQ(owner.failure, kal::kFailureInternal);
  EXPECT_NE(recorder.Failure().find("picture converter"), std::string::npos) << recorder.Failure();
  EXPECT_EQ(recorder.FilePath(), dir / "broken.mp4");
  std::string why;
  const auto v = kaltest::ProbeVideo(dir / "broken.mp4", &why);
  ASSERT_TRUE(v) << why;
  EXPECT_GE(v->framesDecoded, 24);
  EXPECT_EQ(v->decodeErrors, 0);
}

}  // namespace
