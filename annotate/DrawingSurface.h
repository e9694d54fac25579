#pragma once
// The canvas's picture, in device pixels: `below` holds every finished
// shape, `shown` is below plus the shape being drawn. While dragging, only
// the part a move changed is painted again, from below; a full redraw is
// left for undo and redo.

#include <QImage>
#include <QRect>

#include <vector>

#include "annotate/GraphShape.h"
#include "annotate/Tool.h"
#include "platform/X11Shape.h"

namespace kal {

class DrawingSurface {
 public:
  // A cleared surface of `size` (the monitor's device pixels).
  void Reset(QSize size, const PaintLook& look);
  const QImage& Shown() const { return shown_; }
  const PaintLook& Look() const { return look_; }
  QRect Rect() const { return shown_.rect(); }

  // Everything again from the list, with nothing being drawn.
  void RedrawAll(const std::vector<GraphShape>& shapes);
  // `part` of the shown picture again: below, and `live` over it.
  void RepaintLive(const GraphShape& live, const QRect& part);
  // `shape` is finished: it becomes part of below. Returns where it lies.
  QRect Settle(const GraphShape& shape);

  // The ground: without a compositor nothing (the window is shaped to what
  // is drawn); with one, alpha 1, which shows nothing but takes the clicks.
  QColor Ground() const;

 private:
  void Fill(QImage& image, const QRect& part) const;
  QImage below_;
  QImage shown_;
  PaintLook look_;
};

// The rectangles of `part` whose pixels the window shows (alpha over 2),
// row by row in the order the SHAPE extension calls banded.
std::vector<platform::ShapeRect> OpaqueRuns(const QImage& image, const QRect& part);

}  // namespace kal
