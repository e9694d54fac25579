#pragma once
// What the settings dialog needs of the main window, which it cannot
// include: the two recording hotkeys, the region frame, the camera
// preview, the output folder and whether a recording runs. UI thread.

#include <string>

namespace kal {

enum class HotkeyRole { kStartPause, kStop };

// Modifier flags (1 Alt, 2 Control) and a virtual-key code, as stored.
struct Hotkey {
  int modifiers = 0;
  int key = 0;
  bool operator==(const Hotkey&) const = default;
};

class SettingsHost {
 public:
  virtual ~SettingsHost() = default;
  // The key `role` holds now; {0, 0} when it holds none.
  virtual Hotkey CurrentHotkey(HotkeyRole role) = 0;
  // Takes `key` for `role`. Only once it is held is the old key let go:
  // false (another program holds it) leaves the old key working.
  virtual bool ReplaceHotkey(HotkeyRole role, Hotkey key) = 0;
  // Shows or hides the region frame with its toolbar, as the record
  // page's switch does.
  virtual void SwitchRegion(bool on) = 0;
  // Opens the camera preview, or brings the open one to the front.
  virtual void OpenCameraPreview() = 0;
  virtual bool CameraPreviewOpen() = 0;
  // The folder recordings go to, made when missing.
  virtual std::string OutputFolder() = 0;
  virtual bool Recording() = 0;
};

}  // namespace kal
