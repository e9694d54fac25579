#include "annotate/StrokeTool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

constexpr int kMarkerWidth = 16;
constexpr int kMarkerAlpha = 150;

// A broad translucent stroke with round ends, whatever size is chosen.
class MarkerTool : public StrokeTool {
 protected:
  QPen PenFor(const GraphShape& shape, const PaintLook& look) const override {
    return QPen(Ink(shape.colour, kMarkerAlpha, look), kMarkerWidth, Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin);
  }
  int WidthOf(const GraphShape&) const override { return kMarkerWidth; }
};

}  // namespace

std::unique_ptr<Tool> MakeMarker() { return std::make_unique<MarkerTool>(); }

}  // namespace kal::tools
