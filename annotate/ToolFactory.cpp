#include <memory>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal {

QColor Ink(QColor colour, int alpha, const PaintLook& look) {
  if (look.translucent) {
    colour.setAlpha(alpha);
    return colour;
  }
  const auto over_white = [alpha](int c) { return (c * alpha + 255 * (255 - alpha) + 127) / 255; };
  return QColor(over_white(colour.red()), over_white(colour.green()), over_white(colour.blue()));
}

void Tool::Move(GraphShape& shape, QPoint at) const {
  shape.p2 = at;
  shape.visible = true;
  shape.done = false;
}

QRect tools::Box(const GraphShape& shape, int margin) {
  return QRect(shape.p1, shape.p2).normalized().adjusted(-margin, -margin, margin, margin);
}

const Tool& ToolFor(int type) {
  static const std::unique_ptr<Tool> kTools[kToolCount] = {
      tools::MakePen(),   tools::MakeMarker(), tools::MakeRectangle(),
      tools::MakeEllipse(), tools::MakeLine(), tools::MakeArrow(),
      tools::MakeText(),  tools::MakeMark(),   tools::MakeEraser(),
  };
  return *kTools[type >= 0 && type < kToolCount ? type : kToolPen];
}

}  // namespace kal
