#include <QPainter>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// A straight line from the press point to the pointer.
class LineTool : public Tool {
 public:
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook&, const QRect&) const override {
    painter.setPen(QPen(s.colour, s.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(s.p1, s.p2);
  }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override { return Box(s, s.width / 2 + 2); }
};

}  // namespace

std::unique_ptr<Tool> MakeLine() { return std::make_unique<LineTool>(); }

}  // namespace kal::tools
