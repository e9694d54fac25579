#include <QPainter>

#include "annotate/Tool.h"
#include "annotate/ToolMakers.h"

namespace kal::tools {
namespace {

// While dragging, a dark translucent box; once the button is up, the box is
// cleared down to the canvas's nearly transparent ground (alpha 2: still
// no colour to see).
class EraserTool : public Tool {
 public:
  void Paint(QPainter& painter, const GraphShape& s, const PaintLook& look, const QRect&) const override {
    const QRect box = QRect(s.p1, s.p2).normalized();
    if (!s.done) {
      painter.fillRect(box, Ink(QColor(0, 0, 0), 0x32, look));
      return;
    }
    const auto mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(box, QColor(0, 0, 0, 2));
    painter.setCompositionMode(mode);
  }
  void Release(GraphShape& s) const override { s.done = true; }
  QRect Bounds(const GraphShape& s, const PaintLook&) const override { return Box(s, 1); }
  bool Cross() const override { return true; }
};

}  // namespace

std::unique_ptr<Tool> MakeEraser() { return std::make_unique<EraserTool>(); }

}  // namespace kal::tools
