#pragma once
// The global hotkeys and the tray icon. Five hotkeys are grabbed at
// start-up: play-pause and stop (from section "hotkey", Alt+F8 and Alt+F12
// when unset), open the log folder (Ctrl+Alt+B), the screen brush (Alt+K)
// and the screenshot key (Alt+P, taken but without effect). The tray icon
// shows the recording: blinking every 800 ms while recording, grey when
// paused; a left click shows the main window, a right click opens its menu.
// Without a system tray (a plain X server, some desktops) the program runs
// as well and the log says so.

#include <functional>
#include <memory>

#include "config/settings/SettingsHost.h"
#include "mainwnd/Controller.h"

class QSystemTrayIcon;

namespace platform {
class X11Hotkeys;
}

namespace kal {

// Hotkey ids (the settings dialog re-registers the first two under them).
enum HotkeyId : int {
  kHotkeyPlayPause = 1,
  kHotkeyStop = 2,
  kHotkeyLog = 3,
  kHotkeyScreenBrush = 4,
  kHotkeyScreenshot = 5
};

class TrayAndHotkeys : public Controller {
 public:
  // `uiState` tells the recording's state (RecordUiState) on the UI thread.
  TrayAndHotkeys(MainHost& host, std::function<int()> uiState);
  ~TrayAndHotkeys() override;
  ui::ControlList Controls() const override { return {}; }
  void Init() override;
  bool OnTimer(int id) override;

  void RecordingRuns();              // start and resume
  void RecordingHolds(bool paused);  // pause (true) and stop

  platform::X11Hotkeys* Hotkeys() { return hotkeys_.get(); }
  // The key start/pause or stop holds ({0, 0}: none), and taking another
  // one for it; false leaves the key held before working.
  Hotkey Held(HotkeyRole role) const { return held_[role == HotkeyRole::kStop]; }
  bool Replace(HotkeyRole role, Hotkey key);

 private:
  void RegisterHotkeys();
  void OnHotkey(int id);
  void ShowTray();
  void SetLook(bool paused, const QString& tip);

  MainHost& host_;
  std::function<int()> uiState_;
  std::unique_ptr<platform::X11Hotkeys> hotkeys_;
  QSystemTrayIcon* tray_ = nullptr;  // owned by the main window
  bool blinkOn_ = false;
  Hotkey held_[2];  // start/pause, stop
};

}  // namespace kal
