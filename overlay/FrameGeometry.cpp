#include "overlay/FrameGeometry.h"

#include <algorithm>

namespace kal {
namespace {

bool Between(int v, int low, int high) { return v > low && v < high; }  // open
bool Near(int v, int edge) { return v > edge - kGripTolerance && v < edge + kGripTolerance; }
int Even(int v) { return v - (v & 1); }

}  // namespace

FrameGrip HitGrip(const QRect& f, QPoint p) {
  const int left = f.x(), top = f.y(), right = f.x() + f.width(), bottom = f.y() + f.height();
  const int t = kGripTolerance;
  const bool midX = Between(p.x(), left + t, right - t);
  const bool midY = Between(p.y(), top + t, bottom - t);
  if (midX && Near(p.y(), top)) return FrameGrip::kTop;
  if (midX && Near(p.y(), bottom)) return FrameGrip::kBottom;
  if (midY && Near(p.x(), left)) return FrameGrip::kLeft;
  if (midY && Near(p.x(), right)) return FrameGrip::kRight;
  if (Near(p.x(), left) && Near(p.y(), top)) return FrameGrip::kTopLeft;
  if (Near(p.x(), right) && Near(p.y(), bottom)) return FrameGrip::kBottomRight;
  if (Near(p.x(), left) && Near(p.y(), bottom)) return FrameGrip::kBottomLeft;
  if (Near(p.x(), right) && Near(p.y(), top)) return FrameGrip::kTopRight;
  if (midX && midY) return FrameGrip::kMove;
  return FrameGrip::kNone;
}

QRect FrameDrag::To(QPoint p, const QRect& b) const {
  // Pointers outside the screen are taken at its edge.
  p.setX(std::clamp(p.x(), b.left(), b.x() + b.width()));
  p.setY(std::clamp(p.y(), b.top(), b.y() + b.height()));
  const QPoint d = p - press;
  int left = start.x(), top = start.y();
  int right = left + start.width(), bottom = top + start.height();
  const int boundRight = b.x() + b.width(), boundBottom = b.y() + b.height();
  if (grip == FrameGrip::kMove) {
    const int x = std::clamp(left + d.x(), b.x(), boundRight - start.width());
    const int y = std::clamp(top + d.y(), b.y(), boundBottom - start.height());
    return {x, y, start.width(), start.height()};
  }
  const bool movesLeft = grip == FrameGrip::kLeft || grip == FrameGrip::kTopLeft ||
                         grip == FrameGrip::kBottomLeft;
  const bool movesRight = grip == FrameGrip::kRight || grip == FrameGrip::kTopRight ||
                          grip == FrameGrip::kBottomRight;
  const bool movesTop = grip == FrameGrip::kTop || grip == FrameGrip::kTopLeft ||
                        grip == FrameGrip::kTopRight;
  const bool movesBottom = grip == FrameGrip::kBottom || grip == FrameGrip::kBottomLeft ||
                           grip == FrameGrip::kBottomRight;
  if (movesLeft) left = std::clamp(left + d.x(), b.x(), right - kFrameMinimum);
  if (movesRight) right = std::clamp(right + d.x(), left + kFrameMinimum, boundRight);
  if (movesTop) top = std::clamp(top + d.y(), b.y(), bottom - kFrameMinimum);
  if (movesBottom) bottom = std::clamp(bottom + d.y(), top + kFrameMinimum, boundBottom);
  return {left, top, right - left, bottom - top};
}

QRect FrameAround(const QRect& r) {
  return {r.x() - kFrameBorder, r.y() - kFrameBorder, r.width() + 2 * kFrameBorder,
          r.height() + 2 * kFrameBorder};
}

QRect RegionInside(const QRect& f) {
  return {f.x() + kFrameBorder, f.y() + kFrameBorder, Even(f.width() - 2 * kFrameBorder),
          Even(f.height() - 2 * kFrameBorder)};
}

QRect DefaultFrame(const QRect& s) {
  const int w = s.width() / 2, h = s.height() / 2;
  return {s.x() + (s.width() - w) / 2, s.y() + (s.height() - h) / 2, w, h};
}

QRect ToolbarPlace(const QRect& frame, int height, const QRect& bounds) {
  int y = frame.y() - height;
  if (y < bounds.y()) y = frame.y() + frame.height();
  return {frame.x(), y, frame.width(), height};
}

QRect FrameAfterToolbarDrag(const QRect& start, QPoint offset, int toolbarHeight,
                            const QRect& b) {
  const int right = b.x() + b.width() - start.width();
  const int bottom = b.y() + b.height() - start.height();
  const int top = std::min(b.y() + toolbarHeight, bottom);
  const int x = std::clamp(start.x() + offset.x(), b.x(), std::max(b.x(), right));
  const int y = std::clamp(start.y() + offset.y(), top, std::max(top, bottom));
  return {x, y, start.width(), start.height()};
}

QPoint KeepClearOf(const QRect& frame, const QRect& toolbar, QPoint wanted, QSize size,
                   const QRect& bounds) {
  const QRect taken = frame.united(toolbar);
  auto clear = [&](QPoint at) {
    const QRect box(at, size);
    return bounds.contains(box) && !box.intersects(taken);
  };
  if (!QRect(wanted, size).intersects(taken)) return wanted;
  const int gap = 2;
  const QPoint candidates[] = {
      {frame.x() + frame.width() + gap, frame.y()},
      {frame.x() - size.width() - gap, frame.y()},
      {frame.x() + frame.width() - size.width(), frame.y() + frame.height() + gap},
      {frame.x() + frame.width() - size.width(), taken.y() - size.height() - gap},
  };
  for (QPoint c : candidates)
    if (clear(c)) return c;
  return wanted;
}

}  // namespace kal
