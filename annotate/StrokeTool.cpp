#include "annotate/StrokeTool.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kal::tools {
namespace {

QRect Segment(QPoint a, QPoint b, int margin) {
  return QRect(a, b).normalized().adjusted(-margin, -margin, margin, margin);
}

}  // namespace

void StrokeTool::Move(GraphShape& shape, QPoint at) const {
  // The stroke starts at the press: a quick drag whose moves the server
  // folded into one still draws its line.
  if (shape.points.empty()) shape.points.push_back(shape.p1);
  Tool::Move(shape, at);
  shape.points.push_back(at);
}

QRect StrokeTool::Bounds(const GraphShape& shape, const PaintLook&) const {
  if (shape.points.empty()) return {};
  int left = shape.points[0].x(), right = left, top = shape.points[0].y(), bottom = top;
  for (QPoint p : shape.points) {
    left = std::min(left, p.x()), right = std::max(right, p.x());
    top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
  }
  const int m = WidthOf(shape) / 2 + 2;
  return QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-m, -m, m, m);
}

QRect StrokeTool::Changed(const GraphShape& shape, const PaintLook&, const QRect&) const {
  const auto& pts = shape.points;
  const int m = WidthOf(shape) / 2 + 2;
  if (pts.size() < 2) return pts.empty() ? QRect() : Segment(pts[0], pts[0], m);
  return Segment(pts[pts.size() - 2], pts.back(), m);
}

void StrokeTool::Paint(QPainter& painter, const GraphShape& shape, const PaintLook& look,
                       const QRect& clip) const {
  const auto& pts = shape.points;
  if (pts.size() < 2) return;
  painter.setPen(PenFor(shape, look));
  painter.setBrush(Qt::NoBrush);
  // The segments that reach the clip, as one path: a translucent stroke that
  // crosses itself is laid once, as when the whole stroke is drawn. A run
  // ends at a segment that does not reach the clip, so its cap lies outside.
  const int m = WidthOf(shape) / 2 + 2;
  QPainterPath path;
  bool open = false;
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    if (!Segment(pts[i], pts[i + 1], m).intersects(clip)) {
      open = false;
      continue;
    }
    if (!open) path.moveTo(pts[i]);
    path.lineTo(pts[i + 1]);
    open = true;
  }
  painter.drawPath(path);
}

}  // namespace kal::tools
