#pragma once
// CToolWindow: the strip above the region frame with the region's size, the
// elapsed time and a close button that leaves region recording. Dragging it
// moves the frame along (both stay on the screen); it is locked while
// recording. It never takes the focus from the program being recorded.

#include <QPoint>
#include <QRect>

#include "ui/WindowImplBase.h"

namespace kal {

class CVideoMask;

class CToolWindow : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr const char* kRatio = "record-ratio-info";
  static constexpr const char* kDuration = "record-duration-info";
  static constexpr const char* kClose = "record-close";
  static constexpr const char* kControls[] = {kRatio, kDuration, kClose};
  static constexpr ui::ControlList kLists[] = {kControls};
  static constexpr ui::SkinSpec kSkin{"CToolWindow", "ToolWindow.xml", kLists};

  explicit CToolWindow(CVideoMask& mask);
  const ui::SkinSpec* Skin() const override { return &kSkin; }

  // Takes its place above the frame; with `store`, also stores the frame's
  // region (even sizes).
  void Follow(bool store);
  void SetMovable(bool movable) { movable_ = movable; }
  void ShowReady();
  // Device pixels, root coordinates.
  QRect DeviceRect() const { return rect_; }

 protected:
  QString ClassName() const override { return kSkin.className; }
  void InitWindow() override;
  void Notify(const ui::TNotifyUI& msg) override;
  void HandleCustomMessage(ui::Message& msg, bool& handled) override;
  void OnMouse(QMouseEvent* e) override;

 private:
  int DeviceHeight() const;
  void Place(const QRect& deviceRect);
  CVideoMask& mask_;
  QRect rect_;
  bool movable_ = true;
  bool dragging_ = false;
  QPoint pressAt_;  // device pixels
  QRect frameAtPress_;
};

}  // namespace kal
