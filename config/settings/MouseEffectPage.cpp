#include "config/settings/MouseEffectPage.h"

#include <QAbstractButton>
#include <QColorDialog>

#include "config/ColorRef.h"

namespace kal {
namespace {

using P = MouseEffectPage;
constexpr const char* kControls[] = {P::kCursor, P::kClicks, P::kLeftColor, P::kRightColor,
                                     P::kHighlight, P::kHighlightColor, P::kSizeSlider, P::kSizeLabel};

struct Swatch {
  const char* control;
  const cfg::TextKey& key;
};
const Swatch kSwatches[] = {{P::kLeftColor, cfg::kMouseClickLeftColor},
                            {P::kRightColor, cfg::kMouseClickRightColor},
                            {P::kHighlightColor, cfg::kMouseHotRegionColor}};

// The picker's sixteen custom colours (COLORREF).
constexpr long kCustomColors[] = {0xADDEFF, 0x800000, 0x8080,   0x238E6B, 0x45FF,   0xD670DA,
                                  0xAAE8EE, 0x7FFF00, 0x32CD9A, 0xB9DAFF, 0x13458B, 0x3F85CD,
                                  0x2D52A0, 0xCBC0FF, 0xDDA0DD, 0xE16941};

QColor ToColor(const Rgb& rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

}  // namespace

MouseEffectPage::MouseEffectPage(ui::MainHost& dialog, SettingsHost& host) : SettingsPage(dialog, host) {
  bindings_.Check(cfg::kMouseCheck, kCursor);
  bindings_.Check(cfg::kMouseEffectClickCheck, kClicks);
  bindings_.Check(cfg::kMouseHotRegionCheck, kHighlight);
  bindings_.Slider(cfg::kMouseHotRegionSize, kSizeSlider, kSizeLabel, "%1");
}

ui::ControlList MouseEffectPage::Controls() const { return kControls; }

void MouseEffectPage::Init() {
  SettingsPage::Init();
  for (const Swatch& s : kSwatches) Paint(s.control, s.key);
}

void MouseEffectPage::Paint(const char* swatch, const cfg::TextKey& key) {
  // A stored value that is not a number shows (and records) the default.
  const Rgb rgb = ReadColor(key);
  const QColor argb = QColor::fromRgba(static_cast<QRgb>(ColorRefToArgb(ToColorRef(rgb))));
  dialog_.Control(swatch)->setStyleSheet(
      QString("background-color: %1; border: 1px solid #707070;").arg(argb.name()));
}

void MouseEffectPage::Pick(const char* swatch, const cfg::TextKey& key) {
  for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, ToColor(SplitColorRef(kCustomColors[i])));
  QColorDialog picker(ToColor(ReadColor(key)), dialog_.Window());
  picker.setObjectName(kPicker);
  picker.setWindowTitle("选择颜色");
  picker.setOption(QColorDialog::DontUseNativeDialog);
  if (picker.exec() != QDialog::Accepted) return;
  const QColor c = picker.selectedColor();
  if (!c.isValid()) return;
  const Rgb rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                static_cast<std::uint8_t>(c.blue())};
  ui::WriteSetting(key, std::to_string(ToColorRef(rgb)));
  Paint(swatch, key);
}

bool MouseEffectPage::Notify(const ui::TNotifyUI& msg) {
  if (msg.type == "click") {
    for (const Swatch& s : kSwatches) {
      if (msg.senderName != s.control) continue;
      Pick(s.control, s.key);
      return true;
    }
  }
  return bindings_.Notify(msg);
}

}  // namespace kal
