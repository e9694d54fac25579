#include "mainwnd/TrayAndHotkeys.h"

#include <QCursor>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <glog/logging.h>

#include "config/ConfigKeys.h"
#include "config/UserFolders.h"
#include "mainwnd/MainTaskMenu.h"
#include "mainwnd/RecordingControl.h"
#include "platform/X11Hotkeys.h"
#include "ui/OpenOnDesktop.h"

namespace kal {
namespace {

constexpr int kBlinkMs = 800;

// A stored pair with either half 0 is replaced whole by the default.
struct KeyPair {
  const cfg::IntKey& modifiers;
  const cfg::IntKey& key;
  int defaultModifiers;
  int defaultKey;
};
constexpr int kAlt = 1;
constexpr int kControl = 2;
constexpr int kF8 = 0x77;
constexpr int kF12 = 0x7B;

}  // namespace

TrayAndHotkeys::TrayAndHotkeys(MainHost& host, std::function<int()> uiState)
    : host_(host), uiState_(std::move(uiState)) {}

TrayAndHotkeys::~TrayAndHotkeys() = default;

void TrayAndHotkeys::Init() {
  RegisterHotkeys();
  ShowTray();
}

namespace {
QIcon TrayIcon(bool paused) {
  return QIcon(ui::WindowImplBase::SkinFolder() +
               (paused ? "/KalRecorderPaused.png" : "/KalRecorder.png"));
}
}  // namespace

void TrayAndHotkeys::ShowTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    LOG(ERROR) << "no system tray: the main window stays the way to the program";
    return;
  }
  tray_ = new QSystemTrayIcon(TrayIcon(false), host_.Window());
  tray_->setToolTip("高清视频录制软件");
  QObject::connect(tray_, &QSystemTrayIcon::activated, host_.Window(),
                   [this](QSystemTrayIcon::ActivationReason why) {
                     if (why == QSystemTrayIcon::Context) {
                       // Opened once the icon's click is over.
                       const QPoint at = QCursor::pos();
                       QTimer::singleShot(0, host_.Window(), [at] {
                         auto* menu = new CMainTaskMenu;
                         if (menu->TryCreate()) menu->OpenAt(at);
                         else delete menu;
                       });
                     } else if (why == QSystemTrayIcon::Trigger) {
                       host_.Window()->raise();
                       host_.ShowMain();
                     }
                   });
  tray_->show();
}

void TrayAndHotkeys::SetLook(bool paused, const QString& tip) {
  if (!tray_) return;
  tray_->setIcon(TrayIcon(paused));
  tray_->setToolTip(tip);
}

void TrayAndHotkeys::RegisterHotkeys() {
  hotkeys_ = std::make_unique<platform::X11Hotkeys>();
  QWidget* window = host_.Window();
  // Presses arrive on the hotkeys' own thread and are handled on the window's.
  const bool started = hotkeys_->Start([this, window](int id) {
    QMetaObject::invokeMethod(window, [this, id] { OnHotkey(id); }, Qt::QueuedConnection);
  });
  if (!started) {
    LOG(ERROR) << "no X display: no global hotkeys";
    return;
  }
  const KeyPair pairs[] = {{cfg::kStartPauseKey1, cfg::kStartPauseKey2, kAlt, kF8},
                           {cfg::kStopKey1, cfg::kStopKey2, kAlt, kF12}};
  const int ids[] = {kHotkeyPlayPause, kHotkeyStop};
  for (int i = 0; i < 2; ++i) {
    int modifiers = cfg::Read(pairs[i].modifiers);
    int key = cfg::Read(pairs[i].key);
    if (modifiers == 0 || key == 0) {
      modifiers = pairs[i].defaultModifiers;
      key = pairs[i].defaultKey;
    }
    // Only a key that is really ours is written back.
    if (hotkeys_->Register(ids[i], modifiers, key)) {
      held_[i] = {modifiers, key};
      cfg::Write(pairs[i].modifiers, modifiers);
      cfg::Write(pairs[i].key, key);
    } else {
      LOG(ERROR) << "hotkey " << modifiers << "/" << key << " is taken by another program";
    }
  }
  hotkeys_->Register(kHotkeyLog, kControl + kAlt, 'B');
  hotkeys_->Register(kHotkeyScreenBrush, kAlt, 'K');
  hotkeys_->Register(kHotkeyScreenshot, kAlt, 'P');
}

bool TrayAndHotkeys::Replace(HotkeyRole role, Hotkey key) {
  const int i = role == HotkeyRole::kStop;
  if (!hotkeys_ || !hotkeys_->Register(i ? kHotkeyStop : kHotkeyPlayPause, key.modifiers, key.key)) return false;
  held_[i] = key;
  return true;
}

void TrayAndHotkeys::OnHotkey(int id) {
  switch (id) {
    case kHotkeyPlayPause:
      if (uiState_() == kUiRecording) {
        ui::PostTo(ui::WindowRole::kPauseBox, WMU_BOX_PAUSED);
        ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_PAUSE);
      } else {
        ui::PostTo(ui::WindowRole::kPauseBox, WMU_BOX_RESUMED);
        ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_START);
      }
      break;
    case kHotkeyStop:
      ui::PostTo(ui::WindowRole::kMain, WMU_RECORD_STOP);
      break;
    case kHotkeyLog:
      ui::OpenOnDesktop(GetUserDataFolder(kLogFolder), "日志文件夹");
      break;
    case kHotkeyScreenBrush:
      ui::PostTo(ui::WindowRole::kMain, WMU_BRUSH_TOGGLE);
      break;
    default:  // the screenshot key is taken but does nothing
      break;
  }
}

void TrayAndHotkeys::RecordingRuns() {
  blinkOn_ = false;
  SetLook(false, "录制中...");
  host_.SetTimer(TIMER_TRAY_BLINK, kBlinkMs);
}

void TrayAndHotkeys::RecordingHolds(bool paused) {
  host_.KillTimer(TIMER_TRAY_BLINK);
  SetLook(paused, paused ? "暂停录制..." : "高清视频录制软件");
}

bool TrayAndHotkeys::OnTimer(int id) {
  if (id != TIMER_TRAY_BLINK) return false;
  blinkOn_ = !blinkOn_;
  SetLook(blinkOn_, "录制中...");
  return true;
}

}  // namespace kal
