#pragma once
// CVideoArea: a host for pictures drawn by others (the preview player, the
// camera preview). Its control "videoArea" holds a native VideoHost that
// they draw into with SDL; it has no behaviour of its own.

#include <QRect>

#include "ui/VideoHost.h"
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
  // Where the picture goes; after Create.
  ui::VideoHost& Host() const { return *host_; }
  // Moves and sizes the area (parent coordinates) under the host's geometry
  // lock, so no picture is drawn while it moves.
  void Place(const QRect& r);

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;

 private:
  ui::VideoHost* host_ = nullptr;
};

}  // namespace kal
