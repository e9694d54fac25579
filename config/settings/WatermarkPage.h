#pragma once
// "水印": none, an image in one of four corners at a distance from its
// edges, or a text at a place with its font, size and colour. The texts
// are written when the dialog closes; the dialog does not close on a
// watermark the recording could not draw (an image that cannot be read,
// an empty text) or on a distance that is not a whole number.

#include "config/settings/SettingsPage.h"

namespace kal {

class WatermarkPage : public SettingsPage {
 public:
  static constexpr const char* kNone = "watermark-none";
  static constexpr const char* kImage = "watermark-image";
  static constexpr const char* kText = "watermark-text";
  static constexpr const char* kImagePath = "watermark-image-path";
  static constexpr const char* kChoose = "watermark-choose";
  static constexpr const char* kTextDesc = "watermark-text-desc";
  static constexpr const char* kFontFamily = "watermark-font-family";
  static constexpr const char* kFontSize = "watermark-font-size";

  WatermarkPage(ui::MainHost& dialog, SettingsHost& host);
  const char* Tab() const override { return "watermark"; }
  ui::ControlList Controls() const override;
  void Init() override;
  bool Notify(const ui::TNotifyUI& msg) override;
  QString Refusal() override;
  void Commit() override;

 private:
  void ChooseImage();
};

}  // namespace kal
