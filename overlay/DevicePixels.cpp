#include "overlay/DevicePixels.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <deque>
#include <cstdlib>

#include "platform/X11Screen.h"
#include "platform/X11PointerEvents.h"

namespace kal {
namespace {

// Keeps the exact positions of the pointer events the server sent, in
// order, until the toolkit's mouse event made of each asks for it.
class ExactPointer : public QAbstractNativeEventFilter {
 public:
  static ExactPointer& Instance() {
    static ExactPointer* filter = [] {
      auto* f = new ExactPointer;  // lives as long as the application
      qApp->installNativeEventFilter(f);
      return f;
    }();
    return *filter;
  }
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    int x = 0, y = 0;
    if (type != "xcb_generic_event_t") return false;
    const auto kind = platform::PointerEventPosition(message, opcode_, x, y);
    if (kind == platform::PointerEvent::kNone) return false;
    // XInput sends each event for the device and again for the pointer it
    // drives.
    if (kind == lastKind_ && !positions_.empty() && positions_.back() == QPoint(x, y)) return false;
    lastKind_ = kind;
    if (positions_.size() >= 512) positions_.pop_front();
    positions_.emplace_back(x, y);
    return false;
  }
  // The oldest kept position within `slack` of `coarse`; older ones belong
  // to events that were not delivered here and are dropped.
  bool Take(QPoint coarse, int slack, QPoint& exact) {
    while (!positions_.empty()) {
      const QPoint p = positions_.front();
      positions_.pop_front();
      if (std::abs(p.x() - coarse.x()) <= slack && std::abs(p.y() - coarse.y()) <= slack) {
        exact = p;
        return true;
      }
    }
    return false;
  }

 private:
  ExactPointer() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    opcode_ = platform::XInputOpcode(x11 ? x11->display() : nullptr);
  }
  int opcode_ = -1;
  platform::PointerEvent lastKind_ = platform::PointerEvent::kNone;
  std::deque<QPoint> positions_;
};

}  // namespace

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
  if (ratio_ > 1.0) ExactPointer::Instance();  // from now on, before any press
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
  QPoint coarse = (g * ratio_).toPoint();
  qreal r = ratio_;
  for (const Screen& s : screens_) {
    if (!QRectF(s.logical).contains(g)) continue;
    r = s.device.width() / qreal(std::max(1, s.logical.width()));
    coarse = s.device.topLeft() + ((g - QPointF(s.logical.topLeft())) * r).toPoint();
    break;
  }
  if (r <= 1.0) return coarse;
  // Scaled, Qt rounds the pointer to its own units; the server's event had
  // the pixel.
  QPoint exact;
  if (ExactPointer::Instance().Take(coarse, static_cast<int>(std::ceil(r)), exact)) return exact;
  return coarse;
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
