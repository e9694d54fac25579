// The main window driven as a user would, under the harness's display:
// every control is there, settings are written at once and come back at the
// next start, closing follows "window-close", pages stop the player.

#include "mainwnd/MainWnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "SmallDisk.h"
#include "Subprocess.h"
#include "TempDir.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "FileListRows.h"

namespace fs = std::filesystem;
using kal::CMainWnd;
using P = kal::RecordPage;
using R = kal::RecordingControl;

namespace {

class MainWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove(kal::ConfigStore::Instance()->Path());
    kal::cfg::Write(kal::cfg::kOutputDir, out.path());
  }
  std::unique_ptr<CMainWnd> Open() {
    auto w = std::make_unique<CMainWnd>();
    w->Create();
    w->show();
    QApplication::processEvents();
    return w;
  }
  void Click(CMainWnd& w, const QString& name) {
    auto* b = w.FindControl<QAbstractButton>(name);
    ASSERT_NE(b, nullptr) << name.toStdString();
    b->click();
    QApplication::processEvents();
  }
  static std::string Key(std::string_view section, std::string_view key) {
    std::string v;
    kal::ConfigStore::Instance()->GetString(section, key, "<missing>", v, 600);
    return v;
  }
  kaltest::TempDir out;
};

TEST_F(MainWndTest, TitleAndMark) {
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), "KAL屏幕录制");
  EXPECT_EQ(w->property("KalRecorder").toInt(), 1);
}

TEST_F(MainWndTest, RecordPageOptionsAreWrittenAtOnceAndRestoredAtTheNextStart) {
  {
    auto w = Open();
    Click(*w, P::kMkv);
    EXPECT_EQ(Key("global", "video-format"), "mkv");
    EXPECT_EQ(w->Extension(), "mkv");
    Click(*w, P::kQualityLow);
    EXPECT_EQ(Key("global", "quality"), "2");
    Click(*w, P::kVoiceSourceSystem);
    EXPECT_EQ(Key("global", "voice-source"), "2");
    Click(*w, P::kMicrophoneCheck);  // on by default: now off
    EXPECT_EQ(Key("global", P::kMicrophoneCheck), "0");
    Click(*w, P::kAudioMuteCheck);
    EXPECT_EQ(Key("global", P::kAudioMuteCheck), "1");
    w->FindControl<QSlider>(P::kVoiceSlider)->setValue(33);
    EXPECT_EQ(Key("global", "voice-size"), "33");
    EXPECT_EQ(w->FindControl<QLabel>(P::kVoiceSize)->text(), "33dB");
  }
  auto w = Open();
  EXPECT_TRUE(w->FindControl<QAbstractButton>(P::kMkv)->isChecked());
  EXPECT_EQ(w->Extension(), "mkv");
  EXPECT_TRUE(w->FindControl<QAbstractButton>(P::kQualityLow)->isChecked());
  EXPECT_TRUE(w->FindControl<QAbstractButton>(P::kVoiceSourceSystem)->isChecked());
  EXPECT_FALSE(w->FindControl<QAbstractButton>(P::kMicrophoneCheck)->isChecked());
  EXPECT_TRUE(w->FindControl<QAbstractButton>(P::kAudioMuteCheck)->isChecked());
  EXPECT_EQ(w->FindControl<QSlider>(P::kVoiceSlider)->value(), 33);
  EXPECT_EQ(w->FindControl<QLabel>(P::kVoiceSize)->text(), "33dB");
}

TEST_F(MainWndTest, UnknownStoredValueSelectsNothing) {
  kal::cfg::Write(kal::cfg::kVideoFormat, "webm");
  auto w = Open();
  for (const char* n : {P::kMp4, P::kFlv, P::kWmv, P::kAvi, P::kMov, P::kMkv})
    EXPECT_FALSE(w->FindControl<QAbstractButton>(n)->isChecked()) << n;
  EXPECT_EQ(w->Extension(), "mp4");
  EXPECT_EQ(Key("global", "video-format"), "webm");
}

TEST_F(MainWndTest, EveryStartResetsTheUserDefinedRegion) {
  kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
  auto w = Open();
  EXPECT_EQ(Key("global", "user-defined-region-check"), "0");
}

// X's own record of the window: "Iconic" once a window manager minimised it.
std::string WmState(WId window) {
  return kaltest::Output("xprop -id " + std::to_string(window) + " WM_STATE 2>/dev/null");
}

TEST_F(MainWndTest, TitleBarCloseMinimisesWhenWindowCloseIsOne) {
  kaltest::Subprocess wm({"openbox", "--sm-disable"}, kaltest::Quiet());
  QTest::qWait(800);
  kal::cfg::Write(kal::cfg::kWindowClose, 1);
  auto w = Open();
  QTest::qWait(300);
  EXPECT_FALSE(w->close());
  std::string state;
  for (int i = 0; i < 30 && state.find("Iconic") == std::string::npos; ++i) {
    QTest::qWait(100);
    state = WmState(w->winId());
  }
  EXPECT_NE(state.find("Iconic"), std::string::npos) << state;
  kal::cfg::Write(kal::cfg::kWindowClose, 0);
  EXPECT_TRUE(w->close()) << "idle engine: the close proceeds";
}

TEST_F(MainWndTest, QuitFromTheTrayClosesEvenWithWindowCloseOne) {
  kal::cfg::Write(kal::cfg::kWindowClose, 1);
  auto w = Open();
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_QUIT, 0, 0);
  QApplication::processEvents();
  EXPECT_FALSE(w->isVisible());
}

// Each page button shows its page (the preview player, which page switches
// stop first, comes with the cut page).
TEST_F(MainWndTest, PageButtonsShowTheirPages) {
  auto w = Open();
  using B = kal::PageBar;
  auto* tab = w->FindControl<QStackedWidget>(B::kTabs);
  const char* pages[] = {B::kCutPage, B::kConvertPage, B::kCompressPage, B::kRecordPage,
                         B::kRecordPage};
  const int indexes[] = {1, 2, 3, 0, 0};
  for (int i = 0; i < 5; ++i) {
    Click(*w, pages[i]);
    EXPECT_EQ(tab->currentIndex(), indexes[i]);
    EXPECT_TRUE(tab->widget(indexes[i])->isVisible()) << pages[i];
  }
  EXPECT_NE(w->FindControl(R::kStart), nullptr);
  EXPECT_TRUE(w->FindControl(R::kStart)->isVisible());
}

TEST_F(MainWndTest, RecordedSecondsShowAsElapsedTime) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  auto w = Open();
  Click(*w, R::kStart);
  const int session = w->Engine().Session();
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_RECORD_SECONDS, session, 3725);
  QApplication::processEvents();
  EXPECT_EQ(w->FindControl<QLabel>(R::kTime)->text(), "01:02:05");
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_RECORD_SECONDS, session, 360000);
  QApplication::processEvents();
  EXPECT_EQ(w->FindControl<QLabel>(R::kTime)->text(), "100:00:00");
  // Seconds posted before the stop that arrive after it are stale.
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_RECORD_SECONDS, session, 7);
  Click(*w, R::kStop);
  QApplication::processEvents();
  EXPECT_EQ(w->FindControl<QLabel>(R::kTime)->text(), "00:00:00");
}

// A start pressed while the last file is still being finished is not lost:
// the button says the program is saving, and the recording starts once the
// file is done.
TEST_F(MainWndTest, AStartWhileSavingFollowsOnceTheFileIsDone) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  auto w = Open();
  Click(*w, P::kMkv);
  Click(*w, R::kStart);
  QTest::qWait(1200);
  Click(*w, R::kStop);
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_RECORD_START, 0, 0);  // the hotkey
  QApplication::processEvents();
  auto* start = w->FindControl<QAbstractButton>(R::kStart);
  EXPECT_EQ(start->text(), "正在保存...");
  EXPECT_FALSE(start->isEnabled());
  for (int i = 0; i < 100 && w->Engine().State() != kal::kRecording; ++i) QTest::qWait(100);
  ASSERT_EQ(w->Engine().State(), kal::kRecording) << "the second recording started";
  EXPECT_EQ(w->UiState(), kal::kUiRecording);
  QTest::qWait(1100);  // another second: another file name
  Click(*w, R::kStop);
  auto& rows = w->Files().Rows();
  for (int i = 0; i < 100 && kaltest::Listed(rows).size() < 2; ++i) QTest::qWait(100);
  EXPECT_EQ(kaltest::Listed(rows).size(), 2u);
  EXPECT_EQ(start->text(), "开始录制");
  EXPECT_TRUE(start->isEnabled());
}

// No sound server here: the record page says what the recording lacks.
TEST_F(MainWndTest, AMissingSoundSourceIsShownOnTheRecordPage) {
  auto w = Open();
  Click(*w, R::kStart);
  auto* text = w->FindControl<QLabel>(R::kSound);
  for (int i = 0; i < 30 && !text->text().contains("系统声音"); ++i) QTest::qWait(100);
  EXPECT_TRUE(text->text().contains("未找到麦克风")) << text->text().toStdString();
  EXPECT_TRUE(text->text().contains("未找到系统声音")) << text->text().toStdString();
  EXPECT_TRUE(text->isVisible());
  Click(*w, R::kStop);
}

TEST_F(MainWndTest, TheWholeMicrophoneGainRangeIsKept) {
  kal::cfg::Write(kal::cfg::kVoiceSize, 85);
  auto w = Open();
  EXPECT_EQ(Key("global", "voice-size"), "85");
  EXPECT_EQ(w->FindControl<QLabel>(P::kVoiceSize)->text(), "85dB");
}

TEST_F(MainWndTest, StartPauseStopRecordsAFileIntoTheList) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  auto w = Open();
  Click(*w, P::kMkv);
  Click(*w, R::kStart);
  EXPECT_EQ(w->UiState(), kal::kUiRecording);
  EXPECT_FALSE(w->FindControl<QWidget>(R::kStart)->isVisible());
  EXPECT_TRUE(w->FindControl<QWidget>(R::kPause)->isVisible());
  QTest::qWait(1200);
  Click(*w, R::kPause);
  EXPECT_EQ(w->Engine().State(), kal::kPaused);
  Click(*w, R::kStart);
  EXPECT_EQ(w->Engine().State(), kal::kRecording);
  QTest::qWait(300);
  Click(*w, R::kStop);
  EXPECT_EQ(w->FindControl<QLabel>(R::kTime)->text(), "00:00:00");
  auto& rows = w->Files().Rows();
  for (int i = 0; i < 100 && kaltest::Listed(rows).empty(); ++i) QTest::qWait(100);
  ASSERT_EQ(kaltest::Listed(rows).size(), 1u);
  const std::string path = kaltest::Listed(rows)[0].path;
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(out.path()));
  EXPECT_EQ(fs::path(path).extension(), ".mkv");
  EXPECT_EQ(fs::path(path).stem().string().size(), 14u) << "named %Y%m%d%H%M%S";
  EXPECT_GT(fs::file_size(path), 1000u);
}

// The names a recording started in the next `count` seconds gets
// ("%Y%m%d%H%M%S.mp4").
std::vector<std::string> NamesOfTheNextSeconds(int count) {
  std::vector<std::string> names;
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now; t < now + count; ++t) {
    char name[32];
    std::tm local{};
    ::localtime_r(&t, &local);
    std::strftime(name, sizeof name, "%Y%m%d%H%M%S.mp4", &local);
    names.push_back(name);
  }
  return names;
}

// Confirms every modal box that opens, noting its text.
class BoxConfirmer {
 public:
  BoxConfirmer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!box) return;
      if (auto* text = box->findChild<QLabel*>("msgText")) texts_ += text->text();
      box->done(1);
    });
    timer_.start(100);
  }
  const QString& Texts() const { return texts_; }

 private:
  QTimer timer_;
  QString texts_;
};

// A recording left unfinished by a crash joins the list at the next start,
// and the user is told.
TEST_F(MainWndTest, TheListAtStartHoldsTheFoldersVideosWhateverTheCaseOfTheirNames) {
  for (const char* name : {"b.mkv", "notes.txt", "c.Mov"})
    kaltest::WriteFile(out / name, std::string(2048, 'x'));
  ASSERT_TRUE(kaltest::Run("ffmpeg -v error -y -f lavfi -i testsrc=duration=2 -f mp4 " + (out / "clip.MP4")));
  auto w = Open();
  auto& rows = w->Files().Rows();
  ASSERT_EQ(kaltest::Listed(rows).size(), 3u) << "every row at once";
  const auto row = [&](int i) { return kaltest::Listed(rows)[i]; };
  EXPECT_EQ(row(2).name, "clip.MP4");
  EXPECT_EQ(row(0).size, "2KB");
  // The lengths follow from the background.
  for (int i = 0; i < 100 && row(2).duration != "00:00:02"; ++i) QTest::qWait(50);
  EXPECT_EQ(row(2).duration, "00:00:02");
  EXPECT_EQ(row(0).duration, "00:00:00") << "a file that cannot be read";
}

TEST_F(MainWndTest, ALeftOverRecordingIsRecoveredIntoTheList) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  {
    kal::Recorder rec(nullptr);
    ASSERT_EQ(rec.Start("20250101120000.mkv", out.path(), "mkv", 24, 1), 0);
    rec.Run();
    QTest::qWait(1500);
    rec.Stop();
    ASSERT_TRUE(rec.WaitFinished(std::chrono::seconds(20)));
  }
  // As a crash leaves it: under its unfinished name.
  fs::rename(out / "20250101120000.mkv", out / "20250101120000.mkv.part");
  BoxConfirmer boxes;
  auto w = Open();
  auto& rows = w->Files().Rows();
  for (int i = 0; i < 100 && kaltest::Listed(rows).empty(); ++i) QTest::qWait(100);
  ASSERT_EQ(kaltest::Listed(rows).size(), 1u);
  EXPECT_EQ(kaltest::Listed(rows)[0].path, out / "20250101120000.mkv");
  for (int i = 0; i < 30 && boxes.Texts().isEmpty(); ++i) QTest::qWait(100);
  EXPECT_TRUE(boxes.Texts().contains("20250101120000.mkv")) << boxes.Texts().toStdString();
  EXPECT_FALSE(fs::exists(out / "20250101120000.mkv.part"));
}

// The finished file cannot take its name (a folder took it while
// recording): the user is told, and the recording stays in its unfinished
// file.
TEST_F(MainWndTest, AFileThatCannotBeFinishedIsReported) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  auto w = Open();
  BoxConfirmer boxes;
  Click(*w, R::kStart);
  QTest::qWait(1000);
  for (const auto& e : fs::directory_iterator(out.path()))
    if (e.path().extension() == ".part") fs::create_directory(e.path().parent_path() / e.path().stem());
  Click(*w, R::kStop);
  for (int i = 0; i < 100 && boxes.Texts().isEmpty(); ++i) QTest::qWait(100);
  EXPECT_TRUE(boxes.Texts().contains("未能完成保存")) << boxes.Texts().toStdString();
  int parts = 0;
  for (const auto& e : fs::directory_iterator(out.path())) parts += e.path().extension() == ".part";
  EXPECT_EQ(parts, 1);
}

// The name of this second is taken already (an earlier recording of the
// same second): the new one gets a free name and nothing is written over.
TEST_F(MainWndTest, ARecordingNeverWritesOverOneOfTheSameSecond) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  for (const std::string& name : NamesOfTheNextSeconds(5))
    kaltest::WriteFile(out / name, "an earlier recording");
  auto w = Open();
  Click(*w, R::kStart);
  QTest::qWait(1000);
  Click(*w, R::kStop);
  auto& rows = w->Files().Rows();
  for (int i = 0; i < 100 && kaltest::Listed(rows).size() < 6; ++i) QTest::qWait(100);
  ASSERT_EQ(kaltest::Listed(rows).size(), 6u);
  int earlier = 0;
  std::string fresh;
  for (const auto& e : fs::directory_iterator(out.path())) {
    if (kaltest::ReadFile(e.path()) == "an earlier recording") ++earlier;
    else fresh = e.path().filename().string();
  }
  EXPECT_EQ(earlier, 5);
  EXPECT_EQ(fresh.size(), std::string("20261207101500-1.mp4").size()) << fresh;
  EXPECT_NE(fresh.find("-1.mp4"), std::string::npos) << fresh;
}

TEST_F(MainWndTest, AFullDiskEndsTheRecordingSaysSoAndKeepsAPlayableFile) {
  kaltest::SmallDisk disk(out / "small", 3);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small filesystem needs root";
  kal::cfg::Write(kal::cfg::kOutputDir, disk.path());
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  kal::cfg::Write(kal::cfg::kQuality, 0);
  auto w = Open();
  kaltest::MovingContent content;

  // The prompt is modal: it is read and confirmed from a timer.
  BoxConfirmer boxes;
  Click(*w, P::kMkv);
  Click(*w, R::kStart);
  ASSERT_EQ(w->UiState(), kal::kUiRecording);
  for (int i = 0; i < 600 && boxes.Texts().isEmpty(); ++i) QTest::qWait(100);
  EXPECT_TRUE(boxes.Texts().contains("磁盘空间已满")) << boxes.Texts().toStdString();
  EXPECT_EQ(w->UiState(), kal::kUiStopped);
  EXPECT_TRUE(w->FindControl<QWidget>(R::kStart)->isVisible());

  auto& rows = w->Files().Rows();
  for (int i = 0; i < 100 && kaltest::Listed(rows).empty(); ++i) QTest::qWait(100);
  ASSERT_EQ(kaltest::Listed(rows).size(), 1u);
  const std::string path = kaltest::Listed(rows)[0].path;
  const auto info = kaltest::ProbeFile(path);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* video = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_GT(video->framesDecoded, 5);
  EXPECT_EQ(video->decodeErrors, 0);
}

}  // namespace
