#pragma once
// The red frame that shows which rectangle of the screen is recorded: 3
// pixels wide, drawn just outside the rectangle so it is never in the
// picture. The window is shaped to its border, so inside the frame the
// desktop stays visible and takes the clicks, with or without a compositor,
// and it never takes the focus from the program being recorded. Its border
// can be dragged to move the rectangle unless it is locked (while
// recording). Coordinates are the screen's device pixels.

#include <QPoint>
#include <QRect>

#include <functional>

#include "ui/WindowImplBase.h"

namespace kal {

class RegionFrame : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr int kBorder = 3;

  explicit RegionFrame(const QRect& area);
  // The recorded rectangle, device pixels.
  QRect Area() const { return area_; }
  void SetArea(const QRect& area);
  void SetLocked(bool locked) { locked_ = locked; }
  // Called after a drag moved the rectangle.
  void OnMoved(std::function<void(const QRect&)> handler) { onMoved_ = std::move(handler); }

 protected:
  QString ClassName() const override { return "CRegionFrame"; }
  void OnPaint(QPainter& painter) override;
  void OnMouse(QMouseEvent* e) override;

 private:
  void Place();
  QRect area_;
  bool locked_ = false;
  bool dragging_ = false;
  QPoint dragFrom_;   // global pointer position at the press, device pixels
  QRect dragStart_;   // the area then
  std::function<void(const QRect&)> onMoved_;
};

}  // namespace kal
