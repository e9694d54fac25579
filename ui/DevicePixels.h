#pragma once
// Overlays work in the screen's device pixels, in root-window coordinates,
// as the recording does; Qt places windows and reports the pointer in its
// scaled (logical) coordinates. This maps between the two per monitor, so a
// region stays exact under QT_SCALE_FACTOR and on several monitors.

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <vector>

class QMouseEvent;
class QScreen;

namespace kal {

class DevicePixels {
 public:
  // Reads the monitors (XRandR) and Qt's screens.
  DevicePixels();
  QPoint ToDevice(QPointF logicalGlobal) const;
  // Where a mouse event happened, to the pixel even where Qt scales.
  QPoint ToDevice(const QMouseEvent* e) const;
  // The logical rectangle a window takes to cover `device`.
  QRect ToLogical(const QRect& device) const;
  // The whole desktop and the primary monitor.
  QRect Desktop() const { return desktop_; }
  QRect Primary() const { return primary_; }
  // The monitor showing `device`, the primary one when none does.
  QRect MonitorAt(QPoint device) const;
  // Device pixels per logical pixel.
  qreal Ratio() const { return ratio_; }

 private:
  struct Screen {
    QRect logical;
    QRect device;
  };
  const Screen* ScreenAtDevice(QPoint p) const;
  qreal RatioAt(QPoint device) const;
  std::vector<Screen> screens_;
  QRect desktop_;
  QRect primary_;
  qreal ratio_ = 1.0;
};

}  // namespace kal
