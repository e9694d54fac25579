#include "annotate/StrokeTool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// Opaque, in the shape's colour and width.
class PenTool : public StrokeTool {
 protected:
  QPen PenFor(const GraphShape& shape, const PaintLook&) const override {
    return QPen(shape.colour, shape.width, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
  }
};

}  // namespace

std::unique_ptr<Tool> MakePen() { return std::make_unique<PenTool>(); }

}  // namespace kal::tools
