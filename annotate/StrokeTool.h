#pragma once
// Free-hand strokes (pen and marker): a polyline through the pointer's
// positions. A move repaints only around the newest segment; painting a
// part draws just the runs of segments that reach into it, so a long
// stroke costs what its part of the screen costs.

#include <QPen>

#include "annotate/Tool.h"

namespace kal::tools {

class StrokeTool : public Tool {
 public:
  void Move(GraphShape& shape, QPoint at) const override;
  void Paint(QPainter& painter, const GraphShape& shape, const PaintLook& look,
             const QRect& clip) const override;
  QRect Bounds(const GraphShape& shape, const PaintLook& look) const override;
  QRect Changed(const GraphShape& shape, const PaintLook& look, const QRect& before) const override;

 protected:
  virtual QPen PenFor(const GraphShape& shape, const PaintLook& look) const = 0;
  virtual int WidthOf(const GraphShape& shape) const { return shape.width; }
};

}  // namespace kal::tools
