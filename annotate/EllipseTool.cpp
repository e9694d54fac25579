#include "annotate/OutlineTool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// The ellipse in the box from the press point to the pointer.
class EllipseTool : public OutlineTool {
  void Outline(QPainter& p, QPoint from, QPoint to) const override { p.drawEllipse(QRect(from, to).normalized()); }
};

}  // namespace

std::unique_ptr<Tool> MakeEllipse() { return std::make_unique<EllipseTool>(); }

}  // namespace kal::tools
