#pragma once
// Tools that draw an outline between the press point and the pointer in
// the shape's colour and width (rectangle, ellipse, line).

#include <QPainter>

#include "annotate/Tool.h"

namespace kal::tools {

class OutlineTool : public Tool {
 public:
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook&, const QRect&) const override {
    painter.setPen(QPen(s.colour, s.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    Outline(painter, s.p1, s.p2);
  }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override { return Box(s, s.width / 2 + 2); }

 protected:
  virtual void Outline(QPainter& painter, QPoint from, QPoint to) const = 0;
};

}  // namespace kal::tools
