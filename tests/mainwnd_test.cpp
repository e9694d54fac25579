// The main window driven as a user would, under the harness's display:
// every control is there, settings are written at once and come back at the
// next start, closing follows "window-close", pages stop the player.

#include "mainwnd/MainWnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

#include "MediaProbe.h"
#include "SmallDisk.h"
#include "TempDir.h"
#include "XTestScreen.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"

namespace fs = std::filesystem;
using kal::CMainWnd;

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
  void Click(CMainWnd& w, const char* name) {
    auto* b = w.FindControl<QAbstractButton>(name);
    ASSERT_NE(b, nullptr) << name;
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

TEST_F(MainWndTest, EveryNamedControlExists) {
  auto w = Open();
  for (int i = 0; i < kal::kMainWndControlCount; ++i)
    EXPECT_NE(w->FindControl(kal::kMainWndControls[i]), nullptr) << kal::kMainWndControls[i];
  EXPECT_EQ(w->windowTitle(), "KAL屏幕录制");
  EXPECT_EQ(w->property("KalRecorder").toInt(), 1);
}

TEST_F(MainWndTest, RecordPageOptionsAreWrittenAtOnceAndRestoredAtTheNextStart) {
  {
    auto w = Open();
    Click(*w, "radio_mkv");
    EXPECT_EQ(Key("global", "video-format"), "mkv");
    EXPECT_EQ(w->Extension(), "mkv");
    Click(*w, "quality_low");
    EXPECT_EQ(Key("global", "quality"), "2");
    Click(*w, "voice-source-system");
    EXPECT_EQ(Key("global", "voice-source"), "2");
    Click(*w, "microphone-check");  // on by default: now off
    EXPECT_EQ(Key("global", "microphone-check"), "0");
    Click(*w, "audio-mute-check");
    EXPECT_EQ(Key("global", "audio-mute-check"), "1");
    w->FindControl<QSlider>("microphone-voice-slider")->setValue(33);
    EXPECT_EQ(Key("global", "voice-size"), "33");
    EXPECT_EQ(w->FindControl<QLabel>("microphone-voice-size")->text(), "33dB");
  }
  auto w = Open();
  EXPECT_TRUE(w->FindControl<QAbstractButton>("radio_mkv")->isChecked());
  EXPECT_EQ(w->Extension(), "mkv");
  EXPECT_TRUE(w->FindControl<QAbstractButton>("quality_low")->isChecked());
  EXPECT_TRUE(w->FindControl<QAbstractButton>("voice-source-system")->isChecked());
  EXPECT_FALSE(w->FindControl<QAbstractButton>("microphone-check")->isChecked());
  EXPECT_TRUE(w->FindControl<QAbstractButton>("audio-mute-check")->isChecked());
  EXPECT_EQ(w->FindControl<QSlider>("microphone-voice-slider")->value(), 33);
  EXPECT_EQ(w->FindControl<QLabel>("microphone-voice-size")->text(), "33dB");
}

TEST_F(MainWndTest, UnknownStoredValueSelectsNothing) {
  kal::cfg::Write(kal::cfg::kVideoFormat, "webm");
  auto w = Open();
  for (const char* n : {"radio_mp4", "radio_flv", "radio_wmv", "radio_avi", "radio_mov", "radio_mkv"})
    EXPECT_FALSE(w->FindControl<QAbstractButton>(n)->isChecked()) << n;
  EXPECT_EQ(w->Extension(), "mp4");
  EXPECT_EQ(Key("global", "video-format"), "webm");
}

TEST_F(MainWndTest, EveryStartResetsTheUserDefinedRegion) {
  kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
  auto w = Open();
  EXPECT_EQ(Key("global", "user-defined-region-check"), "0");
}

TEST_F(MainWndTest, TitleBarCloseMinimisesWhenWindowCloseIsOne) {
  kal::cfg::Write(kal::cfg::kWindowClose, 1);
  auto w = Open();
  EXPECT_FALSE(w->close());
  EXPECT_TRUE(w->MinimizeRequested());
  EXPECT_TRUE(w->isVisible());
  kal::cfg::Write(kal::cfg::kWindowClose, 0);
  EXPECT_TRUE(w->close()) << "idle engine: the close proceeds";
}

TEST_F(MainWndTest, QuitFromTheTrayClosesEvenWithWindowCloseOne) {
  kal::cfg::Write(kal::cfg::kWindowClose, 1);
  auto w = Open();
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_QUIT, 0, 0);
  QApplication::processEvents();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->MinimizeRequested());
}

TEST_F(MainWndTest, PageSwitchesStopThePlayerFirst) {
  auto w = Open();
  auto* tab = w->FindControl<QStackedWidget>("main-tab");
  const char* pages[] = {"video-cut-page", "video-convert-page", "video-compress-page",
                         "video-record-page", "video-record-page"};
  int expected = 0;
  const int indexes[] = {1, 2, 3, 0, 0};
  for (int i = 0; i < 5; ++i) {
    Click(*w, pages[i]);
    EXPECT_EQ(w->PlayerStops(), ++expected) << pages[i];
    EXPECT_EQ(tab->currentIndex(), indexes[i]);
  }
}

TEST_F(MainWndTest, NotificationsReachTheBase) {
  auto w = Open();
  const int before = w->BaseNotifications();
  Click(*w, "feedback");  // the account area is not handled here
  EXPECT_EQ(w->BaseNotifications(), before + 1);
  EXPECT_EQ(w->LastBaseNotification().senderName, "feedback");
  EXPECT_EQ(w->LastBaseNotification().type, "click");
  Click(*w, "radio_flv");
  EXPECT_GT(w->BaseNotifications(), before + 1) << "handled ones are passed on too";
}

TEST_F(MainWndTest, RecordedSecondsShowAsElapsedTime) {
  auto w = Open();
  kal::ui::WindowImplBase::PostMessage(w.get(), kal::WMU_RECORD_SECONDS, 0, 3725);
  QApplication::processEvents();
  EXPECT_EQ(w->FindControl<QLabel>("recordTimeText")->text(), "01:02:05");
}

TEST_F(MainWndTest, StartPauseStopRecordsAFileIntoTheList) {
  kal::cfg::Write(kal::cfg::kAudioMuteCheck, 1);
  auto w = Open();
  Click(*w, "radio_mkv");
  Click(*w, "recorderStartBtn");
  EXPECT_EQ(w->UiState(), kal::kUiRecording);
  EXPECT_FALSE(w->FindControl<QWidget>("recorderStartBtn")->isVisible());
  EXPECT_TRUE(w->FindControl<QWidget>("recorderPauseBtn")->isVisible());
  QTest::qWait(1200);
  Click(*w, "recorderPauseBtn");
  EXPECT_EQ(w->Engine().State(), kal::kPaused);
  Click(*w, "recorderStartBtn");
  EXPECT_EQ(w->Engine().State(), kal::kRecording);
  QTest::qWait(300);
  Click(*w, "recorderStopBtn");
  EXPECT_EQ(w->FindControl<QLabel>("recordTimeText")->text(), "00:00:00");
  auto* list = w->FindControl<QListWidget>("listview");
  for (int i = 0; i < 100 && list->count() == 0; ++i) QTest::qWait(100);
  ASSERT_EQ(list->count(), 1);
  const std::string path = list->item(0)->data(Qt::UserRole).toString().toStdString();
  EXPECT_EQ(fs::path(path).parent_path(), fs::path(out.path()));
  EXPECT_EQ(fs::path(path).extension(), ".mkv");
  EXPECT_EQ(fs::path(path).stem().string().size(), 14u) << "named %Y%m%d%H%M%S";
  EXPECT_GT(fs::file_size(path), 1000u);
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
  QString prompt;
  QTimer confirm;
  QObject::connect(&confirm, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box) return;
    if (auto* text = box->findChild<QLabel*>("msgText")) prompt = text->text();
    box->done(1);
  });
  confirm.start(100);
  Click(*w, "radio_mkv");
  Click(*w, "recorderStartBtn");
  ASSERT_EQ(w->UiState(), kal::kUiRecording);
  for (int i = 0; i < 600 && prompt.isEmpty(); ++i) QTest::qWait(100);
  EXPECT_TRUE(prompt.contains("磁盘空间已满")) << prompt.toStdString();
  EXPECT_EQ(w->UiState(), kal::kUiStopped);
  EXPECT_TRUE(w->FindControl<QWidget>("recorderStartBtn")->isVisible());

  auto* list = w->FindControl<QListWidget>("listview");
  for (int i = 0; i < 100 && list->count() == 0; ++i) QTest::qWait(100);
  ASSERT_EQ(list->count(), 1);
  const std::string path = list->item(0)->data(Qt::UserRole).toString().toStdString();
  const auto info = kaltest::ProbeFile(path);
  ASSERT_TRUE(info.opened) << info.error;
  const auto* video = info.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_GT(video->framesDecoded, 5);
  EXPECT_EQ(video->decodeErrors, 0);
}

}  // namespace
