#include "annotate/DrawingSurface.h"

#include <QPainter>

namespace kal {

void DrawingSurface::Reset(QSize size, const PaintLook& look) {
  look_ = look;
  below_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
  Fill(below_, below_.rect());
  shown_ = below_;
}

QColor DrawingSurface::Ground() const {
  return look_.translucent ? QColor(0x3E, 0x9A, 0xFF, 1) : QColor(0, 0, 0, 0);
}

void DrawingSurface::Fill(QImage& image, const QRect& part) const {
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(part, Ground());
}

void DrawingSurface::RedrawAll(const std::vector<GraphShape>& shapes) {
  Fill(below_, below_.rect());
  QPainter p(&below_);
  p.setRenderHint(QPainter::Antialiasing, look_.smooth);
  for (const GraphShape& s : shapes)
    if (s.visible) ToolFor(s.type).Paint(p, s, look_, below_.rect());
  p.end();
  shown_ = below_;
}

void DrawingSurface::RepaintLive(const GraphShape& live, const QRect& part) {
  const QRect r = part & shown_.rect();
  if (r.isEmpty()) return;
  QPainter p(&shown_);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(r.topLeft(), below_, r);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.setClipRect(r);
  p.setRenderHint(QPainter::Antialiasing, look_.smooth);
  if (live.visible) ToolFor(live.type).Paint(p, live, look_, r);
}

QRect DrawingSurface::Settle(const GraphShape& shape) {
  const QRect r = ToolFor(shape.type).Bounds(shape, look_) & below_.rect();
  if (r.isEmpty()) return r;
  {
    QPainter p(&below_);
    p.setClipRect(r);
    p.setRenderHint(QPainter::Antialiasing, look_.smooth);
    ToolFor(shape.type).Paint(p, shape, look_, r);
  }
  QPainter p(&shown_);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(r.topLeft(), below_, r);
  return r;
}

std::vector<platform::ShapeRect> OpaqueRuns(const QImage& image, const QRect& part) {
  std::vector<platform::ShapeRect> runs;
  const QRect r = part & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int start = -1;
    for (int x = r.left(); x <= r.right() + 1; ++x) {
      const bool shown = x <= r.right() && qAlpha(row[x]) > 2;
      if (shown && start < 0) start = x;
      if (!shown && start >= 0) {
        runs.push_back({start, y, x - start, 1});
        start = -1;
      }
    }
  }
  return runs;
}

}  // namespace kal
