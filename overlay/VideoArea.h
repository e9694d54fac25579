#pragma once
// CVideoArea: a host for pictures drawn by others (the preview player, the
// camera preview) in its control "videoArea". It has no behaviour of its own.

#include "ui/WindowImplBase.h"

namespace kal {

class CVideoArea : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr const char* kArea = "videoArea";
  static constexpr const char* kControls[] = {kArea};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"CVideoArea", "VideoArea.xml", kLists};
  explicit CVideoArea(QWidget* parent = nullptr);
  const ui::SkinSpec* Skin() const override { return &kSkin; }
  // Where the picture goes.
  QWidget* Area() const { return FindControl(kArea); }

 protected:
  QString ClassName() const override { return kSkin.className; }
};

}  // namespace kal
