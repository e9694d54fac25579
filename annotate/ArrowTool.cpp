#include <QPainter>
#include <QPolygon>

#include <cmath>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

constexpr double kHeadLength = 16;
constexpr double kHeadHalfWidth = 8;

int Round(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// A line with a filled triangular head at the pointer's end.
class ArrowTool : public Tool {
 public:
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook&, const QRect&) const override {
    const double a = std::atan2(s.p1.y() - s.p2.y(), s.p1.x() - s.p2.x());
    const double c = std::cos(a), n = std::sin(a);
    const double x2 = s.p2.x(), y2 = s.p2.y();
    const QPolygon head({s.p2,
                         QPoint(Round(x2 + kHeadLength * c - kHeadHalfWidth * n),
                                Round(y2 + kHeadLength * n + kHeadHalfWidth * c)),
                         QPoint(Round(x2 + kHeadLength * c + kHeadHalfWidth * n),
                                Round(y2 + kHeadLength * n - kHeadHalfWidth * c))});
    painter.setPen(QPen(s.colour, s.width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawLine(s.p1, s.p2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(s.colour);
    painter.drawPolygon(head);
  }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override {
    return Box(s, static_cast<int>(kHeadLength) + s.width / 2 + 2);
  }
};

}  // namespace

std::unique_ptr<Tool> MakeArrow() { return std::make_unique<ArrowTool>(); }

}  // namespace kal::tools
