#include "ui/DevicePixels.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
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
    if (!events_.empty() && events_.back().kind == kind && events_.back().at == QPoint(x, y))
      return false;
    if (events_.size() >= 512) events_.pop_front();
    events_.push_back({kind, QPoint(x, y)});
    return false;
  }
  // The oldest kept event of `kind` within `slack` of `coarse`; older ones
  // belong to events that were not delivered here and are dropped. The
  // toolkit also makes events of its own (a move before a press that it did
  // not see arrive, a double click after the second press): they have no
  // twin and take the place of the last one taken when near it.
  bool Take(platform::PointerEvent kind, QPoint coarse, int slack, QPoint& exact) {
    const auto near = [&](QPoint p) {
      return std::abs(p.x() - coarse.x()) <= slack && std::abs(p.y() - coarse.y()) <= slack;
    };
    const auto twin = std::find_if(events_.begin(), events_.end(),
                                   [&](const Event& e) { return e.kind == kind && near(e.at); });
    if (twin != events_.end()) {
      exact = last_ = twin->at;
      hasLast_ = true;
      events_.erase(events_.begin(), twin + 1);
      return true;
    }
    if (!hasLast_ || !near(last_)) return false;
    exact = last_;
    return true;
  }

 private:
  struct Event {
    platform::PointerEvent kind;
    QPoint at;
  };
  ExactPointer() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    opcode_ = platform::XInputOpcode(x11 ? x11->display() : nullptr);
  }
  int opcode_ = -1;
  std::deque<Event> events_;
  QPoint last_;
  bool hasLast_ = false;
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
  for (const Screen& s : screens_) {
    if (!QRectF(s.logical).contains(g)) continue;
    const qreal r = s.device.width() / qreal(std::max(1, s.logical.width()));
    return s.device.topLeft() + ((g - QPointF(s.logical.topLeft())) * r).toPoint();
  }
  return (g * ratio_).toPoint();
}

QPoint DevicePixels::ToDevice(const QMouseEvent* e) const {
  const QPoint coarse = ToDevice(e->globalPosition());
  const qreal r = RatioAt(coarse);
  if (r <= 1.0) return coarse;
  // Scaled, Qt rounds the pointer to its own units; the server's event had
  // the pixel.
  const auto kind = e->type() == QEvent::MouseMove            ? platform::PointerEvent::kMotion
                    : e->type() == QEvent::MouseButtonRelease ? platform::PointerEvent::kRelease
                                                              : platform::PointerEvent::kPress;
  QPoint exact;
  if (ExactPointer::Instance().Take(kind, coarse, static_cast<int>(std::ceil(r)), exact))
    return exact;
  return coarse;
}

qreal DevicePixels::RatioAt(QPoint device) const {
  const Screen* s = ScreenAtDevice(device);
  return s ? s->device.width() / qreal(std::max(1, s->logical.width())) : ratio_;
}

QRect DevicePixels::ToLogical(const QRect& d) const {
  const Screen* s = ScreenAtDevice(d.topLeft());
  if (!s) return d;
  const qreal r = RatioAt(d.topLeft());
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
