#pragma once
// The settings dialog: "seting" and the tray menu's "设置" open it, one at a
// time. It reaches the rest of the main window through this controller:
// the hotkeys, the region frame, the camera preview (never more than one)
// and the output folder.

#include <QPointer>

#include <functional>

#include "config/settings/SettingsHost.h"
#include "mainwnd/Controller.h"

namespace kal {

class CCameraWindow;
class RegionControl;
class SetingDialog;
class TrayAndHotkeys;

class SettingsControl : public Controller, public SettingsHost {
 public:
  static constexpr const char* kOpen = "seting";

  // `recording` tells whether a recording runs (or is paused).
  SettingsControl(MainHost& host, TrayAndHotkeys& tray, RegionControl& region,
                  std::function<bool()> recording);
  ~SettingsControl() override;
  ui::ControlList Controls() const override;
  bool Notify(const ui::TNotifyUI& msg) override;
  bool Handle(ui::Message& msg) override;

  // SettingsHost.
  Hotkey CurrentHotkey(HotkeyRole role) override;
  bool ReplaceHotkey(HotkeyRole role, Hotkey key) override;
  void SwitchRegion(bool on) override;
  void OpenCameraPreview() override;
  bool CameraPreviewOpen() override { return !camera_.isNull(); }
  std::string OutputFolder() override;
  bool Recording() override { return recording_(); }

 private:
  void Open();
  MainHost& host_;
  TrayAndHotkeys& tray_;
  RegionControl& region_;
  std::function<bool()> recording_;
  QPointer<SetingDialog> dialog_;
  QPointer<CCameraWindow> camera_;
};

}  // namespace kal
