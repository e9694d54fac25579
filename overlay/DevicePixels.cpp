#include "overlay/DevicePixels.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

#include "platform/X11Screen.h"

namespace kal {

DevicePixels::DevicePixels() {
  const auto monitors = platform::QueryMonitors();
  const auto qtScreens = QGuiApplication::screens();
  if (QScreen* p = QGuiApplication::primaryScreen()) ratio_ = p->devicePixelRatio();
  for (int i = 0; i < qtScreens.size(); ++i) {
    QScreen* s = qtScreens[i];
    Screen entry{s->geometry(), {}};
    // The monitor of the same name; else the one in the same place in the list.
    for (const auto& m : monitors)
      if (QString::fromStdString(m.name) == s->name()) entry.device = QRect(m.x, m.y, m.width, m.height);
    if (entry.device.isEmpty() && i < static_cast<int>(monitors.size())) {
      const auto& m = monitors[static_cast<std::size_t>(i)];
      entry.device = QRect(m.x, m.y, m.width, m.height);
    }
    if (entry.device.isEmpty()) {
      const qreal r = s->devicePixelRatio();
      entry.device = QRect(entry.logical.topLeft(), QSize(std::lround(entry.logical.width() * r),
                                                          std::lround(entry.logical.height() * r)));
    }
    screens_.push_back(entry);
    desktop_ = desktop_.united(entry.device);
    if (s == QGuiApplication::primaryScreen()) primary_ = entry.device;
  }
  const auto screen = platform::QueryScreenSize();
  if (screen.width > 0) desktop_ = QRect(0, 0, screen.width, screen.height);
  if (primary_.isEmpty()) {
    const auto m = platform::PrimaryMonitor(monitors, screen);
    primary_ = QRect(m.x, m.y, m.width, m.height);
  }
}

const DevicePixels::Screen* DevicePixels::ScreenAtDevice(QPoint p) const {
  for (const Screen& s : screens_)
    if (s.device.contains(p)) return &s;
  return screens_.empty() ? nullptr : &screens_.front();
}

QPoint DevicePixels::ToDevice(QPointF g) const {
  for (const Screen& s : screens_) {
    if (!QRectF(s.logical).contains(g)) continue;
    const qreal r = s.device.width() / qreal(std::max(1, s.logical.width()));
    return s.device.topLeft() + ((g - QPointF(s.logical.topLeft())) * r).toPoint();
  }
  return (g * ratio_).toPoint();
}

QRect DevicePixels::ToLogical(const QRect& d) const {
  const Screen* s = ScreenAtDevice(d.topLeft());
  if (!s) return d;
  const qreal r = s->device.width() / qreal(std::max(1, s->logical.width()));
  const QPointF topLeft = QPointF(s->logical.topLeft()) + QPointF(d.topLeft() - s->device.topLeft()) / r;
  return {QPoint(std::lround(topLeft.x()), std::lround(topLeft.y())),
          QSize(std::lround(d.width() / r), std::lround(d.height() / r))};
}

QRect DevicePixels::MonitorAt(QPoint p) const {
  for (const Screen& s : screens_)
    if (s.device.contains(p)) return s.device;
  return primary_;
}

}  // namespace kal
