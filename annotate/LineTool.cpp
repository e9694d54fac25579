#include "annotate/OutlineTool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// A straight line from the press point to the pointer.
class LineTool : public OutlineTool {
  void Outline(QPainter& p, QPoint from, QPoint to) const override { p.drawLine(from, to); }
};

}  // namespace

std::unique_ptr<Tool> MakeLine() { return std::make_unique<LineTool>(); }

}  // namespace kal::tools
