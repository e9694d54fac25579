#include "annotate/StrokeTool.h"

#include <QPainter>

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
  // A run ends at a segment that does not reach the clip, so where two runs
  // meet lies outside it and a translucent stroke is never laid twice there.
  const int m = WidthOf(shape) / 2 + 2;
  size_t start = 0;
  const auto flush = [&](size_t end) {  // segments start..end-1
    if (end > start) painter.drawPolyline(&pts[start], static_cast<int>(end - start + 1));
  };
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    if (!Segment(pts[i], pts[i + 1], m).intersects(clip)) {
      flush(i);
      start = i + 1;
    }
  }
  flush(pts.size() - 1);
}

}  // namespace kal::tools
