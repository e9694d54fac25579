#pragma once
// A drawing tool of the canvas: how a press and the moves after it shape a
// GraphShape, how the shape is painted, and where it paints. One class per
// tool, each in a file of its own, all made by ToolFor; a new tool is one
// new file and one line in the factory.

#include <QColor>
#include <QRect>

#include "annotate/GraphShape.h"

class QPainter;

namespace kal {

// How the canvas can show what is painted. Without a compositor the
// window shows only its opaque pixels (its shape is what is drawn), so
// edges are not smoothed and a translucent colour becomes the solid colour
// it would give over white.
struct PaintLook {
  bool translucent = true;
  bool smooth = true;
  qreal scale = 1.0;  // device pixels per logical pixel (text follows the screen's scale)
};

// `colour` at `alpha` as the look can show it.
QColor Ink(QColor colour, int alpha, const PaintLook& look);

class Tool {
 public:
  virtual ~Tool() = default;
  // Tools that make their shape at the press (mark, text) finish it there.
  virtual bool MadeAtPress() const { return false; }
  // The pointer moved to `at` with the button down.
  virtual void Move(GraphShape& shape, QPoint at) const;
  // The button went up over a shape that shows something.
  virtual void Release(GraphShape& shape) const {}
  // Paints the part of `shape` inside `clip` (device pixels).
  virtual void Paint(QPainter& painter, const GraphShape& shape, const PaintLook& look,
                     const QRect& clip) const = 0;
  // Every pixel the shape may touch.
  virtual QRect Bounds(const GraphShape& shape, const PaintLook& look) const = 0;
  // What must be painted again after a move, given the bounds before it.
  virtual QRect Changed(const GraphShape& shape, const PaintLook& look, const QRect& before) const {
    return before | Bounds(shape, look);
  }
  // The cross cursor while this tool is chosen (else the arrow).
  virtual bool Cross() const { return true; }
};

// The tool of `type` (a ToolType; an unknown value is the pen).
const Tool& ToolFor(int type);

namespace tools {
// The box of the press point and the pointer, grown by `margin` each way.
QRect Box(const GraphShape& shape, int margin);
}  // namespace tools

}  // namespace kal
