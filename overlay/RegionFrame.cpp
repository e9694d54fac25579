#include "overlay/RegionFrame.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>

namespace kal {

RegionFrame::RegionFrame(const QRect& area) {
  MakeOverlay({.onTop = true, .takesFocus = false});
  SetArea(area);
}

void RegionFrame::SetArea(const QRect& area) {
  area_ = area;
  Place();
}

// The window covers the rectangle and its border; only the border belongs
// to it.
void RegionFrame::Place() {
  const qreal ratio = screen() ? screen()->devicePixelRatio() : 1.0;
  const QRect outer = area_.adjusted(-kBorder, -kBorder, kBorder, kBorder);
  setGeometry(QRect(QPoint(qRound(outer.x() / ratio), qRound(outer.y() / ratio)),
                    QSize(qRound(outer.width() / ratio), qRound(outer.height() / ratio))));
  const int b = qMax(1, qRound(kBorder / ratio));
  const QRect all(0, 0, width(), height());
  setMask(QRegion(all).subtracted(QRegion(all.adjusted(b, b, -b, -b))));
  update();
}

void RegionFrame::OnPaint(QPainter& painter) { painter.fillRect(rect(), QColor(255, 0, 0)); }

void RegionFrame::OnMouse(QMouseEvent* e) {
  if (locked_) return;
  const qreal ratio = screen() ? screen()->devicePixelRatio() : 1.0;
  const QPoint at = (e->globalPosition() * ratio).toPoint();
  switch (e->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() != Qt::LeftButton) return;
      dragging_ = true;
      dragFrom_ = at;
      dragStart_ = area_;
      break;
    case QEvent::MouseMove:
      if (!dragging_) return;
      SetArea(dragStart_.translated(at - dragFrom_));
      break;
    case QEvent::MouseButtonRelease:
      if (!dragging_ || e->button() != Qt::LeftButton) return;
      dragging_ = false;
      SetArea(dragStart_.translated(at - dragFrom_));
      if (onMoved_) onMoved_(area_);
      break;
    default:
      return;
  }
  e->accept();
}

}  // namespace kal
