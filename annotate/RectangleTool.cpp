#include "annotate/OutlineTool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// The outline of the box from the press point to the pointer.
class RectangleTool : public OutlineTool {
  void Outline(QPainter& p, QPoint from, QPoint to) const override { p.drawRect(QRect(from, to).normalized()); }
};

}  // namespace

std::unique_ptr<Tool> MakeRectangle() { return std::make_unique<RectangleTool>(); }

}  // namespace kal::tools
