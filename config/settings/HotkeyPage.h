#pragma once
// "快捷键": the start/pause and stop hotkeys, Alt or Ctrl with F1 to F12.
// The lists open showing the keys in use; "hotkey-save" takes each changed
// pair, the new key before the old one is let go, and says how it went.

#include <optional>

#include "config/settings/SettingsPage.h"

namespace kal {

struct HotkeyPair;

class HotkeyPage : public SettingsPage {
 public:
  static constexpr const char* kStartPauseModifier = "start-pause-key1";
  static constexpr const char* kStartPauseKey = "start-pause-key2";
  static constexpr const char* kStopModifier = "stop-key1";
  static constexpr const char* kStopKey = "stop-key2";
  static constexpr const char* kSave = "hotkey-save";

  using SettingsPage::SettingsPage;
  const char* Tab() const override { return "shortcut-key"; }
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;

 private:
  std::optional<Hotkey> Chosen(const HotkeyPair& pair);
  void Save();
  // False when the key could not be taken (and the user was told).
  bool Take(const HotkeyPair& pair, Hotkey key);
};

}  // namespace kal
