#include <QPainter>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// The outline of the ellipse in the box from the press point to the pointer.
class EllipseTool : public Tool {
 public:
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook&, const QRect&) const override {
    painter.setPen(QPen(s.colour, s.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(s.p1, s.p2).normalized());
  }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override { return Box(s, s.width / 2 + 2); }
};

}  // namespace

std::unique_ptr<Tool> MakeEllipse() { return std::make_unique<EllipseTool>(); }

}  // namespace kal::tools
