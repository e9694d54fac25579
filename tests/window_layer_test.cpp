// The window layer: every skin loads and holds every control its window
// looks up (a failure names the window's class and the missing control);
// messages reach a window by its role, and what travels with them is freed
// whether or not the window is still there.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QFile>
#include <QUiLoader>
#include <QWidget>

#include <QCoreApplication>

#include <memory>

#include <gtest/gtest.h>

#include "annotate/DrawingSurface.h"
#include "config/settings/SetingDialog.h"
#include "online/DownloadDialog.h"
#include "annotate/EditWindow.h"
#include "annotate/ScreenBrushDialog.h"
#include "annotate/ScreenMask.h"
#include "mainwnd/ListMenu.h"
#include "mainwnd/MainTaskMenu.h"
#include "mainwnd/RenameFileDialog.h"
#include "mainwnd/MainWnd.h"
#include "overlay/CameraWindow.h"
#include "overlay/SuspendDialog.h"
#include "overlay/ToolWindow.h"
#include "overlay/VideoArea.h"
#include "ui/NoticeBoxes.h"
#include "ui/SubSkin.h"

namespace {

std::unique_ptr<QWidget> LoadSkin(const char* file) {
  QFile f(kal::ui::WindowImplBase::SkinFolder() + "/" + file);
  if (!f.open(QFile::ReadOnly)) return nullptr;
  QUiLoader loader;
  return std::unique_ptr<QWidget>(loader.load(&f));
}

void ExpectSkinHasItsControls(const kal::ui::SkinSpec& spec) {
  SCOPED_TRACE(spec.className);
  const auto root = LoadSkin(spec.file);
  ASSERT_NE(root, nullptr) << spec.className << ": " << spec.file << " does not load";
  EXPECT_EQ(kal::ui::MissingControls(spec, root.get()), "");
}

// The settings dialog names its controls without asking its host anything.
class NoHost : public kal::SettingsHost {
 public:
  kal::Hotkey CurrentHotkey(kal::HotkeyRole) override { return {}; }
  bool ReplaceHotkey(kal::HotkeyRole, kal::Hotkey) override { return false; }
  void SwitchRegion(bool) override {}
  void OpenCameraPreview() override {}
  bool CameraPreviewOpen() override { return false; }
  std::string OutputFolder() override { return {}; }
  bool Recording() override { return false; }
};

TEST(SkinTest, EveryWindowFindsItsControlsInItsSkin) {
  kal::CMainWnd main;
  ASSERT_NE(main.Skin(), nullptr);
  ExpectSkinHasItsControls(*main.Skin());
  ExpectSkinHasItsControls(kal::ui::MessageBoxDialog::kSkin);
  ExpectSkinHasItsControls(kal::ui::PromptBoxDialog::kSkin);
  ExpectSkinHasItsControls(kal::SuspendDialog::kSkin);
  ExpectSkinHasItsControls(kal::CMainTaskMenu::kSkin);
  ExpectSkinHasItsControls(kal::CToolWindow::kSkin);
  ExpectSkinHasItsControls(kal::CVideoArea::kSkin);
  ExpectSkinHasItsControls(kal::CCameraWindow::kSkin);
  ExpectSkinHasItsControls(kal::ListMenu::kRecordedSkin);
  ExpectSkinHasItsControls(kal::ListMenu::kConvertSkin);
  ExpectSkinHasItsControls(kal::ListMenu::kCompressSkin);
  ExpectSkinHasItsControls(kal::RenameFileDialog::kSkin);
  ExpectSkinHasItsControls(kal::CScreenMask::kSkin);
  ExpectSkinHasItsControls(kal::ScreenBrushDialog::kSkin);
  ExpectSkinHasItsControls(kal::CEditWindow::kSkin);
  ExpectSkinHasItsControls(kal::online::DownloadDialog::kSkin);
  NoHost host;
  ExpectSkinHasItsControls(*kal::SetingDialog(nullptr, host).Skin());
  for (const kal::RowSkin& row : {kal::RecordedFileList::kRowSkin, kal::ConvertPage::kRowSkin,
                                  kal::CompressPage::kRowSkin}) {
    const kal::ui::ControlList lists[] = {row.controls};
    ExpectSkinHasItsControls({"row", row.file, lists});
  }
}

// While the user drags, the canvas paints only the part each move changed;
// the picture must be the one a full redraw gives, translucent marker and
// all (where two runs of a stroke meet, nothing may be laid twice).
TEST(CanvasTest, PaintedPartByPartItEqualsOneWholeRedraw) {
  for (const bool composited : {true, false}) {
    SCOPED_TRACE(composited ? "composited" : "shaped");
    const kal::PaintLook look{.translucent = composited, .smooth = composited};
    std::vector<kal::GraphShape> shapes;
    for (int i = 0; i < kal::kToolCount; ++i) {
      kal::GraphShape s;
      s.type = i;
      s.p1 = {30 + 60 * i, 40};
      s.p2 = {70 + 60 * i, 160};
      s.points = {s.p1, {50 + 60 * i, 90}, s.p2};
      s.colour = QColor(20 * i, 200 - 20 * i, 90);
      s.visible = s.done = true;
      s.number = i + 1;
      s.text = "第" + QString::number(i) + "行\nline";
      shapes.push_back(s);
    }
    kal::DrawingSurface parts;
    parts.Reset({640, 360}, look);
    parts.RedrawAll(shapes);
    kal::GraphShape live;
    live.type = kal::kToolMarker;
    live.p1 = {10, 300};
    live.colour = QColor(254, 248, 81);
    const kal::Tool& marker = kal::ToolFor(live.type);
    // A zigzag back over itself and over every shape.
    for (int step = 1; step <= 120; ++step) {
      const QRect before = live.visible ? marker.Bounds(live, look) : QRect();
      marker.Move(live, {10 + (step * 37) % 620, 20 + (step * 53) % 330});
      parts.RepaintLive(live, marker.Changed(live, look, before));
    }
    kal::DrawingSurface whole;
    whole.Reset({640, 360}, look);
    shapes.push_back(live);
    whole.RedrawAll(shapes);
    EXPECT_TRUE(parts.Shown() == whole.Shown());
    // Finished, it lies below what is drawn next, as drawn.
    parts.Settle(live);
    EXPECT_TRUE(parts.Shown() == whole.Shown());
  }
}

TEST(SkinTest, AMissingControlIsNamedWithItsWindow) {
  static constexpr const char* kControls[] = {"msgText", "no-such-control"};
  static constexpr kal::ui::ControlList kLists[] = {kControls};
  const kal::ui::SkinSpec spec{"SomeDialog", "PromptBox.xml", kLists};
  const auto root = LoadSkin(spec.file);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(kal::ui::MissingControls(spec, root.get()), "SomeDialog: no-such-control\n");
}

// A window that only notes the messages it gets.
class Listener : public kal::ui::WindowImplBase {
 public:
  Listener() { TakeRole(kal::ui::WindowRole::kPauseBox); }
  std::vector<std::pair<unsigned, std::string>> got;

 protected:
  QString ClassName() const override { return "Listener"; }
  void HandleCustomMessage(kal::ui::Message& msg, bool& handled) override;
};

struct Text : kal::ui::MessagePayload {
  explicit Text(std::string t, int* freed) : text(std::move(t)), freed(freed) {}
  ~Text() override { ++*freed; }
  std::string text;
  int* freed;
};

void Listener::HandleCustomMessage(kal::ui::Message& msg, bool& handled) {
  const Text* t = msg.Payload<Text>();
  got.push_back({msg.id, t ? t->text : std::string()});
  handled = true;
}

TEST(MessageTest, AWindowIsReachedByItsRoleAndPayloadsAreAlwaysFreed) {
  using kal::ui::PostTo;
  using kal::ui::WindowRole;
  int freed = 0;
  {
    Listener box;
    EXPECT_TRUE(PostTo(WindowRole::kPauseBox, kal::WMU_BOX_PAUSED, 0, 0,
                       std::make_unique<Text>("paused", &freed)));
    QCoreApplication::processEvents();
    ASSERT_EQ(box.got.size(), 1u);
    EXPECT_EQ(box.got[0], std::make_pair(kal::WMU_BOX_PAUSED, std::string("paused")));
    EXPECT_EQ(freed, 1) << "freed after the handler";
    // Posted, but the window goes before the message is delivered.
    EXPECT_TRUE(PostTo(WindowRole::kPauseBox, kal::WMU_BOX_RESUMED, 0, 0,
                       std::make_unique<Text>("late", &freed)));
  }
  EXPECT_EQ(freed, 2) << "freed with the undelivered message";
  EXPECT_FALSE(PostTo(WindowRole::kPauseBox, kal::WMU_BOX_RESUMED, 0, 0,
                      std::make_unique<Text>("nobody", &freed)));
  EXPECT_EQ(freed, 3) << "freed when no window has the role";
  EXPECT_EQ(kal::ui::WindowWithRole(WindowRole::kPauseBox), nullptr);
}

// The pause box never leaves the work area.
TEST(PauseBoxTest, PlacementKeepsTheBoxInTheWorkArea) {
  const QSize area(1920, 1040);
  EXPECT_EQ(kal::SuspendDialog::Place(area, 50, 50), QPoint(1750, 50)) << "the defaults";
  EXPECT_EQ(kal::SuspendDialog::Place(area, 50, 5000), QPoint(0, 50)) << "right beyond W - 120";
  EXPECT_EQ(kal::SuspendDialog::Place(area, -30, 50), QPoint(1750, 0)) << "a negative top";
  EXPECT_EQ(kal::SuspendDialog::Place(area, 5000, 50), QPoint(1750, 1012)) << "top beyond H - 28";
  EXPECT_EQ(kal::SuspendDialog::Place(area, 50, -500), QPoint(1800, 50)) << "off the right edge";
}

// Near the bottom-right corner the tray menu opens up and to the left.
TEST(TrayMenuTest, OpensUpAndLeftNearTheCorner) {
  const QRect work(0, 0, 1920, 1048);
  EXPECT_EQ(kal::CMainTaskMenu::Place({1900, 1040}, {140, 200}, work), QPoint(1766, 834));
  EXPECT_EQ(kal::CMainTaskMenu::Place({100, 100}, {140, 200}, work), QPoint(106, 94));
  EXPECT_EQ(kal::CMainTaskMenu::Place({100, 100}, {140, 2000}, work), QPoint(106, -6))
      << "taller than the work area: from its top";
}

// A row's menu opens to the left of the point and stays in the work area.
TEST(RowMenuTest, OpensLeftOfThePointInsideTheWorkArea) {
  const QRect work(0, 0, 1920, 1048);
  EXPECT_EQ(kal::ui::PlaceRowMenu({1000, 500}, {160, 150}, work), QPoint(840, 500));
  EXPECT_EQ(kal::ui::PlaceRowMenu({1000, 1000}, {160, 150}, work), QPoint(840, 898)) << "up from the bottom";
  EXPECT_EQ(kal::ui::PlaceRowMenu({1900, 500}, {160, 150}, work), QPoint(1600, 500)) << "in from the right";
  EXPECT_EQ(kal::ui::PlaceRowMenu({50, 500}, {160, 150}, work), QPoint(0, 500)) << "never off the left";
  EXPECT_EQ(kal::ui::PlaceRowMenu({50, 500}, {160, 2000}, work), QPoint(0, 0)) << "taller: from the top";
}

// A window that notes every notification.
class Noter : public kal::ui::WindowImplBase {
 public:
  std::vector<kal::ui::TNotifyUI> got;

 protected:
  QString ClassName() const override { return "Noter"; }
  void Notify(const kal::ui::TNotifyUI& msg) override { got.push_back(msg); }
};

// Controls of rows built later notify as the window's own do, with the
// row's tag; combo boxes and spin boxes notify too.
TEST(NotifyTest, RowsCarryTheirTagAndCombosAndSpinsNotify) {
  Noter window;
  window.Create();
  QWidget* row = kal::ui::LoadSubSkin("ConvertListContainerElement.xml", &window);
  kal::ui::SetTag(row, 41);
  auto* combo = new QComboBox(row);
  combo->addItems({"mp4", "mkv"});
  auto* spin = new QSpinBox(row);
  window.Adopt(row);
  row->findChild<QAbstractButton*>("convert-btn")->click();
  combo->setCurrentIndex(1);
  spin->setValue(7);
  ASSERT_EQ(window.got.size(), 3u);
  EXPECT_EQ(window.got[0].type, "click");
  EXPECT_EQ(window.got[0].senderName, "convert-btn");
  EXPECT_EQ(window.got[0].tag, 41);
  EXPECT_EQ(window.got[1].type, "selectchanged");
  EXPECT_EQ(window.got[1].value, 1);
  EXPECT_EQ(window.got[2].type, "valuechanged");
  EXPECT_EQ(window.got[2].value, 7);
  EXPECT_EQ(window.got[2].tag, 41);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
