// The settings dialog in the test's own process, with a host that holds
// real X grabs as the main window does: what it shows, what it writes to
// configure.ini (and what it refuses to), and what a recording would then
// read. The window program drives it from outside in settings_test.

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <mutex>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "Subprocess.h"
#include "config/ConfigKeys.h"
#include "config/ConfigStore.h"
#include "config/settings/SetingDialog.h"
#include "platform/X11Hotkeys.h"
#include "recorder/SessionSettings.h"

// After gtest: X defines None.
#include <X11/keysym.h>

#include "HeldKey.h"

namespace {

using kal::Hotkey;
using kal::HotkeyRole;
using namespace std::chrono_literals;

std::string Stored(std::string_view section, std::string_view key) {
  std::string v;
  kal::ConfigStore::Instance()->GetString(section, key, "<missing>", v, 600);
  return v;
}

// Everything the next recording takes from the settings.
std::string NextRecording() {
  const kal::SessionSettings s = kal::ReadSessionSettings();
  std::ostringstream o;
  o << "fps " << kal::cfg::Read(kal::cfg::kVideoFramerate) << " video " << int(s.videoSource) << " voice "
    << int(s.voiceSource) << " region " << s.userDefinedRegionCheck << " follow " << s.mouseFollowCheck << ' '
    << s.followWidth << 'x' << s.followHeight << " mouse " << s.mouseCheck << s.mouseEffectClickCheck
    << s.mouseHotRegionCheck << ' ' << int(s.leftColor.r) << '/' << int(s.highlightColor.g) << ' '
    << s.highlightSize << " watermark " << int(s.watermark) << " '" << s.watermarkImagePath << "' "
    << s.watermarkPos << ' ' << s.watermarkOffsetX << ',' << s.watermarkOffsetY << " '" << s.watermarkText
    << "' " << s.watermarkFontFamily << ' ' << s.watermarkFontSize << ' ' << s.watermarkTextOffsetX << ','
    << s.watermarkTextOffsetY << ' ' << s.watermarkColor;
  return o.str();
}

// The main window's part, with real grabs on the test's display.
class Host : public kal::SettingsHost {
 public:
  Host() {
    keys_.Start([this](int id) {
      std::lock_guard<std::mutex> lock(lock_);
      pressed_.push_back(id);
    });
  }
  void Hold(HotkeyRole role, Hotkey key) {
    if (keys_.Register(Id(role), key.modifiers, key.key)) held_[Id(role) - 1] = key;
  }
  // The ids the keys pressed since the last look stood for.
  std::vector<int> Pressed() {
    QTest::qWait(600);
    std::lock_guard<std::mutex> lock(lock_);
    return std::exchange(pressed_, {});
  }
  Hotkey CurrentHotkey(HotkeyRole role) override { return held_[Id(role) - 1]; }
  bool ReplaceHotkey(HotkeyRole role, Hotkey key) override {
    ++replaced;
    if (!keys_.Register(Id(role), key.modifiers, key.key)) return false;
    held_[Id(role) - 1] = key;
    return true;
  }
  void SwitchRegion(bool on) override { region.push_back(on); }
  void OpenCameraPreview() override {}
  bool CameraPreviewOpen() override { return false; }
  std::string OutputFolder() override { return folder.path(); }
  bool Recording() override { return false; }

  int replaced = 0;
  std::vector<bool> region;
  kaltest::TempDir folder;

 private:
  static int Id(HotkeyRole role) { return role == HotkeyRole::kStop ? 2 : 1; }
  platform::X11Hotkeys keys_;
  Hotkey held_[2];
  std::mutex lock_;
  std::vector<int> pressed_;
};

// Answers every notice box that opens with its confirm button, noting its
// text.
class Boxes {
 public:
  Boxes() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!box || !box->findChild<QLabel*>("msgText")) return;
      texts_.push_back(box->findChild<QLabel*>("msgText")->text().toStdString());
      box->done(1);
    });
    timer_.start(50);
  }
  std::vector<std::string> Take() { return std::exchange(texts_, {}); }

 private:
  QTimer timer_;
  std::vector<std::string> texts_;
};

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::remove(kal::ConfigStore::Instance()->Path()); }
  std::unique_ptr<kal::SetingDialog> Open() {
    auto d = std::make_unique<kal::SetingDialog>(nullptr, host);
    d->Create();
    d->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(d.get()));
    return d;
  }
  template <typename T = QWidget>
  static T* Get(kal::SetingDialog& d, const char* name) {
    return d.FindControl<T>(name);
  }
  // Closes the dialog the user's way; whether it closed.
  static bool Close(kal::SetingDialog& d) {
    d.close();
    QTest::qWait(150);
    return !d.isVisible();
  }
  static QString Tab(kal::SetingDialog& d) {
    return Get<QTabWidget>(d, "setings")->currentWidget()->objectName();
  }
  Host host;
  Boxes boxes;
};

TEST_F(SettingsDialogTest, ShowsWhatTheNextRecordingUsesAndClosingChangesNoneOfIt) {
  const std::string before = NextRecording();
  {
    auto d = Open();
    EXPECT_EQ(Get<QComboBox>(*d, "video-framerate")->currentText(), "24");
    EXPECT_EQ(Get<QComboBox>(*d, "mouse-follow-ratio")->currentText(), "640 x 480");
    EXPECT_EQ(Get<QLineEdit>(*d, "watermark-lt-left")->text(), "0");
    EXPECT_EQ(Get<QLineEdit>(*d, "output-dir-edit")->text().toStdString(), host.folder.path());
    EXPECT_TRUE(Close(*d));
  }
  EXPECT_EQ(NextRecording(), before) << "a fresh profile records as it did";
  EXPECT_EQ(Stored("global", "output-dir"), host.folder.path());

  // Values the lists cannot show stay as they are; the region box follows its key.
  kal::cfg::Write(kal::cfg::kVideoFramerate, 25);
  kal::cfg::Write(kal::cfg::kMouseFollowRatioWidth, 500);
  kal::cfg::Write(kal::cfg::kUserDefinedRegionCheck, 1);
  kal::cfg::Write(kal::cfg::kWatermarkFontFamily, "Noto Sans");
  const std::string edited = NextRecording();
  auto d = Open();
  EXPECT_EQ(Get<QComboBox>(*d, "video-framerate")->currentIndex(), -1);
  EXPECT_EQ(Get<QComboBox>(*d, "mouse-follow-ratio")->currentIndex(), -1);
  EXPECT_TRUE(Get<QAbstractButton>(*d, "user-defined-region-check")->isChecked());

  // Follow-the-pointer and the region exclude each other, in the file and the boxes.
  Get<QAbstractButton>(*d, "mouse-follow-check")->click();
  EXPECT_EQ(Stored("mouse-follow", "mouse-follow-check"), "1");
  EXPECT_EQ(Stored("global", "user-defined-region-check"), "0");
  EXPECT_FALSE(Get<QAbstractButton>(*d, "user-defined-region-check")->isChecked());
  Get<QAbstractButton>(*d, "user-defined-region-check")->click();
  EXPECT_EQ(Stored("mouse-follow", "mouse-follow-check"), "0");
  EXPECT_FALSE(Get<QAbstractButton>(*d, "mouse-follow-check")->isChecked());
  EXPECT_EQ(host.region, (std::vector<bool>{false, true})) << "the frame follows the box";
  EXPECT_TRUE(Close(*d));
  EXPECT_EQ(NextRecording(), edited);
}

TEST_F(SettingsDialogTest, ColoursAreStoredAsTheRecordingReadsThemAndABadWatermarkKeepsTheDialogOpen) {
  auto d = Open();
  // The picker answers pure blue.
  QTimer::singleShot(300, [] {
    auto* picker = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->customColor(1), QColor(0, 0, 0x80)) << "the second custom colour is COLORREF 0x800000";
    picker->setCurrentColor(Qt::blue);
    picker->accept();
  });
  Get<QAbstractButton>(*d, "mouse-hot-region-color")->click();
  EXPECT_EQ(Stored("mouse-effect", "mouse-hot-region-color"), "16711680");
  Get<QTabWidget>(*d, "setings")->setCurrentIndex(1);
  QTest::qWait(200);
  QWidget* swatch = Get(*d, "mouse-hot-region-color");
  EXPECT_EQ(swatch->grab().toImage().pixel(swatch->width() / 2, swatch->height() / 2), 0xFF0000FFu);

  // An image that cannot be read, an empty text and a distance that is not a
  // number each keep the dialog open on its page, saying why.
  kaltest::TempDir files;
  kaltest::WriteFile(files / "broken.png", "not a picture");
  Get<QAbstractButton>(*d, "watermark-image")->click();
  EXPECT_EQ(Stored("global", "watermark-type"), "1") << "at once";
  Get<QLineEdit>(*d, "watermark-image-path")->setText(QString::fromStdString(files / "broken.png"));
  Get<QTabWidget>(*d, "setings")->setCurrentIndex(0);
  EXPECT_FALSE(Close(*d));
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"无法读取水印图片，请重新选择图片!"});
  EXPECT_EQ(Tab(*d), "watermark");
  Get<QLineEdit>(*d, "watermark-image-path")->clear();  // the program's own picture
  Get<QAbstractButton>(*d, "watermark-text")->click();
  Get<QLineEdit>(*d, "watermark-text-desc")->setText("  ");
  EXPECT_FALSE(Close(*d));
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"水印文字不能为空!"});
  Get<QLineEdit>(*d, "watermark-text-desc")->setText("KAL test");
  QTest::keyClicks(Get(*d, "watermark-rb-right"), "x7");  // only the digit is taken
  EXPECT_EQ(Get<QLineEdit>(*d, "watermark-rb-right")->text(), "07");
  Get<QLineEdit>(*d, "watermark-rb-right")->clear();
  EXPECT_FALSE(Close(*d));
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"水印的右下右边距必须是整数!"});
  EXPECT_EQ(Stored("global", "watermark-text-desc"), "<missing>") << "nothing is written while refused";
  Get<QLineEdit>(*d, "watermark-rb-right")->setText("35");
  EXPECT_TRUE(Close(*d));
  const kal::SessionSettings next = kal::ReadSessionSettings();
  EXPECT_EQ(next.watermark, kal::WatermarkKind::kText);
  EXPECT_EQ(next.watermarkText, "KAL test");
  EXPECT_EQ(kal::cfg::Read(kal::cfg::kWatermarkRbRight), 35);
}

TEST_F(SettingsDialogTest, AHotkeyIsTakenBeforeTheOldOneIsLetGo) {
  host.Hold(HotkeyRole::kStartPause, {1, 0x77});  // Alt+F8
  host.Hold(HotkeyRole::kStop, {1, 0x7B});        // Alt+F12
  // Another client holds Alt+F9.
  const kaltest::HeldKey other(XK_F9);
  ASSERT_TRUE(other.Ok());

  auto d = Open();
  auto* startKey = Get<QComboBox>(*d, "start-pause-key2");
  auto* stopKey = Get<QComboBox>(*d, "stop-key2");
  EXPECT_EQ(Get<QComboBox>(*d, "start-pause-key1")->currentText(), "Alt") << "the keys in use";
  EXPECT_EQ(startKey->currentText(), "F8");
  EXPECT_EQ(stopKey->currentText(), "F12");
  auto* save = Get<QAbstractButton>(*d, "hotkey-save");

  startKey->setCurrentText("F9");
  save->click();
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"[开始/暂停], 热键设置失败!"});
  EXPECT_EQ(Stored("hotkey", "start-pause-key2"), "<missing>");
  kaltest::Run("xdotool key --clearmodifiers alt+F8");
  EXPECT_EQ(host.Pressed(), std::vector<int>{1}) << "the old key still works";

  startKey->setCurrentText("F12");
  save->click();
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"[开始/暂停]和[停止]不能使用同一个热键!"});

  startKey->setCurrentText("F7");
  save->click();
  EXPECT_EQ(boxes.Take(), (std::vector<std::string>{"[开始/暂停], 热键设置成功!", "[停止], 热键设置成功!"}));
  EXPECT_EQ(Stored("hotkey", "start-pause-key1"), "1");
  EXPECT_EQ(Stored("hotkey", "start-pause-key2"), "118");
  EXPECT_EQ(Stored("hotkey", "start-pause-key2-index"), "6");
  EXPECT_EQ(Stored("hotkey", "stop-key2"), "123");
  kaltest::Run("xdotool key --clearmodifiers alt+F7 alt+F8 alt+F12");
  EXPECT_EQ(host.Pressed(), (std::vector<int>{1, 2})) << "the new key at once, the old one let go";

  // Swapped, each pair takes the other's key.
  startKey->setCurrentText("F12");
  stopKey->setCurrentText("F7");
  save->click();
  EXPECT_EQ(boxes.Take().size(), 2u);
  kaltest::Run("xdotool key --clearmodifiers alt+F12 alt+F7");
  EXPECT_EQ(host.Pressed(), (std::vector<int>{1, 2}));
}

TEST_F(SettingsDialogTest, ListsWithNoKeyInUseRegisterNothing) {
  auto d = Open();  // the host holds no key at all
  EXPECT_EQ(Get<QComboBox>(*d, "start-pause-key2")->currentIndex(), -1);
  Get<QAbstractButton>(*d, "hotkey-save")->click();
  EXPECT_EQ(boxes.Take(), std::vector<std::string>{"请先选择热键!"});
  EXPECT_EQ(host.replaced, 0);
  EXPECT_EQ(Stored("hotkey", "start-pause-key1"), "<missing>");
}

}  // namespace
