#pragma once
// "鼠标效果": the cursor in the video, click marks and the highlight around
// the pointer, with their colours (a swatch opens the colour picker) and
// the highlight's size.

#include "config/settings/SettingsPage.h"

class QAbstractButton;

namespace kal {

class MouseEffectPage : public SettingsPage {
 public:
  static constexpr const char* kCursor = "mouse-check";
  static constexpr const char* kClicks = "mouse-effect-click-check";
  static constexpr const char* kLeftColor = "mouse-click-left-color";
  static constexpr const char* kRightColor = "mouse-click-right-color";
  static constexpr const char* kHighlight = "mouse-hot-region-check";
  static constexpr const char* kHighlightColor = "mouse-hot-region-color";
  static constexpr const char* kSizeSlider = "mouse-hot-region-slider";
  static constexpr const char* kSizeLabel = "mouse-hot-region-size";
  // The colour picker's object name, for tests.
  static constexpr const char* kPicker = "color-picker";

  MouseEffectPage(ui::MainHost& dialog, SettingsHost& host);
  const char* Tab() const override { return "mouse-effect"; }
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;

 private:
  void Paint(const char* swatch, const cfg::TextKey& key);
  void Pick(const char* swatch, const cfg::TextKey& key);
};

}  // namespace kal
