#include "mainwnd/SettingsControl.h"

#include "config/settings/SetingDialog.h"
#include "mainwnd/RecordedFileList.h"
#include "mainwnd/RegionControl.h"
#include "mainwnd/TrayAndHotkeys.h"
#include "overlay/CameraWindow.h"

namespace kal {
namespace {

constexpr const char* kControls[] = {SettingsControl::kOpen};

}  // namespace

SettingsControl::SettingsControl(MainHost& host, TrayAndHotkeys& tray, RegionControl& region,
                                 std::function<bool()> recording)
    : host_(host), tray_(tray), region_(region), recording_(std::move(recording)) {}

// The dialog writes what it holds while the rest of the window still stands.
SettingsControl::~SettingsControl() {
  delete dialog_.data();
  delete camera_.data();
}

ui::ControlList SettingsControl::Controls() const { return kControls; }

bool SettingsControl::Notify(const ui::TNotifyUI& msg) {
  if (msg.type != "click" || msg.senderName != kOpen) return false;
  Open();
  return true;
}

bool SettingsControl::Handle(ui::Message& msg) {
  if (msg.id != WMU_OPEN_SETTINGS) return false;
  host_.ShowMain();  // the dialog stands over the main window
  Open();
  return true;
}

void SettingsControl::Open() {
  if (dialog_) {
    dialog_->ShowMain();
    return;
  }
  auto* dialog = new SetingDialog(host_.Window(), *this);
  if (!dialog->TryCreate()) {
    delete dialog;
    return;
  }
  dialog_ = dialog;
  // Only the main window waits for it; the region frame and the camera
  // preview stay usable beside it.
  dialog->setWindowModality(Qt::WindowModal);
  QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
  dialog->show();
  dialog->activateWindow();
}

Hotkey SettingsControl::CurrentHotkey(HotkeyRole role) { return tray_.Held(role); }

bool SettingsControl::ReplaceHotkey(HotkeyRole role, Hotkey key) { return tray_.Replace(role, key); }

void SettingsControl::SwitchRegion(bool on) { region_.SwitchTo(on); }

void SettingsControl::OpenCameraPreview() {
  if (camera_) {
    camera_->show();
    camera_->raise();
    return;
  }
  camera_ = CCameraWindow::Open();
}

std::string SettingsControl::OutputFolder() { return ResolveOutputFolder(); }

}  // namespace kal
