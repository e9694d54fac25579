#include "overlay/RectTracker.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace kal {
namespace {

// Which coordinate each handle moves, and how it mirrors.
struct HandleInfo {
  int TrackRect::*x;  // nullptr: none
  int TrackRect::*y;
  int invertX;  // the handle it becomes when the rectangle is inverted in x
  int invertY;
};

constexpr HandleInfo kHandles[8] = {
    {&TrackRect::left, &TrackRect::top, 1, 3},        // top-left
    {&TrackRect::right, &TrackRect::top, 0, 2},       // top-right
    {&TrackRect::right, &TrackRect::bottom, 3, 1},    // bottom-right
    {&TrackRect::left, &TrackRect::bottom, 2, 0},     // bottom-left
    {nullptr, &TrackRect::top, 4, 6},                 // top
    {&TrackRect::right, nullptr, 7, 5},               // right
    {nullptr, &TrackRect::bottom, 6, 4},              // bottom
    {&TrackRect::left, nullptr, 5, 7},                // left
};

}  // namespace

TrackRect TrackRect::Normalized() const {
  return {std::min(left, right), std::min(top, bottom), std::max(left, right),
          std::max(top, bottom)};
}

int CXRectTracker::GetHandleSize() const {
  const int smaller = std::min(std::abs(rect.Width()), std::abs(rect.Height()));
  return 2 * kBorderWidth > smaller ? smaller / 2 : kBorderWidth;
}

unsigned CXRectTracker::GetHandleMask() const {
  unsigned mask = 0x0F;
  if (std::abs(rect.Width()) - 3 * kBorderWidth >= 5) mask |= 0x50;
  if (std::abs(rect.Height()) - 3 * kBorderWidth >= 5) mask |= 0xA0;
  return mask;
}

int CXRectTracker::NormalizeHit(int hit) const {
  if (hit < 0 || hit >= 8) return hit;
  if (rect.Width() < 0) hit = kHandles[hit].invertX;
  if (rect.Height() < 0) hit = kHandles[hit].invertY;
  return hit;
}

QRect CXRectTracker::GetHandleRect(int hit) const {
  const int s = GetHandleSize();
  const TrackRect n = rect.Normalized();
  // Handles sit just outside the rectangle.
  const QRect outer(n.left - s, n.top - s, n.Width() + 2 * s, n.Height() + 2 * s);
  const int cx = outer.x() + (outer.width() - s) / 2, cy = outer.y() + (outer.height() - s) / 2;
  const int l = outer.x(), t = outer.y(), r = outer.x() + outer.width() - s,
            b = outer.y() + outer.height() - s;
  // `hit` names the handle as the user holds it; on an inverted rectangle it
  // is drawn where the mirrored one is.
  switch (NormalizeHit(hit)) {
    case kTopLeft: return {l, t, s, s};
    case kTopRight: return {r, t, s, s};
    case kBottomRight: return {r, b, s, s};
    case kBottomLeft: return {l, b, s, s};
    case kTop: return {cx, t, s, s};
    case kRight: return {r, cy, s, s};
    case kBottom: return {cx, b, s, s};
    case kLeft: return {l, cy, s, s};
    default: return {};
  }
}

int CXRectTracker::HitTest(QPoint p) const {
  const int s = GetHandleSize();
  const TrackRect n = rect.Normalized();
  const QRect outer(n.left - s, n.top - s, n.Width() + 2 * s, n.Height() + 2 * s);
  if (!outer.contains(p)) return kNothing;
  const unsigned mask = GetHandleMask();
  for (int hit = 0; hit < 8; ++hit) {
    if ((mask & (1u << hit)) && GetHandleRect(hit).contains(p)) return hit;
  }
  if (QRect(n.left - 1, n.top - 1, n.Width() + 2, n.Height() + 2).contains(p)) return kMiddle;
  return kNothing;
}

bool CXRectTracker::CursorFor(QPoint p, Qt::CursorShape& shape) const {
  const int hit = NormalizeHit(HitTest(p));
  if (hit == kNothing) return false;
  static constexpr Qt::CursorShape kCursors[] = {
      Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor, Qt::SizeBDiagCursor,
      Qt::SizeVerCursor,   Qt::SizeHorCursor,   Qt::SizeVerCursor,   Qt::SizeHorCursor,
      Qt::SizeAllCursor};
  shape = kCursors[hit];
  return true;
}

void CXRectTracker::Draw(QPainter& painter) const {
  const TrackRect n = rect.Normalized();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(QColor::fromRgb(kColor), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(n.left - 3, n.top - 3, n.Width() + 5, n.Height() + 5));
  const unsigned mask = GetHandleMask();
  for (int hit = 0; hit < 8; ++hit)
    if (mask & (1u << hit)) painter.fillRect(GetHandleRect(hit), QColor::fromRgb(kColor));
  painter.restore();
}

void CXRectTracker::AdjustRect(int hit) {
  if (hit < 0 || hit >= 8) return;
  const int minimum = 2 * kBorderWidth;
  const HandleInfo& h = kHandles[hit];
  if (h.x && std::abs(rect.Width()) < minimum) {
    const bool movesLeft = h.x == &TrackRect::left;
    const int sign = rect.Width() < 0 ? -1 : 1;
    if (movesLeft) rect.left = rect.right - sign * minimum;
    else rect.right = rect.left + sign * minimum;
  }
  if (h.y && std::abs(rect.Height()) < minimum) {
    const bool movesTop = h.y == &TrackRect::top;
    const int sign = rect.Height() < 0 ? -1 : 1;
    if (movesTop) rect.top = rect.bottom - sign * minimum;
    else rect.bottom = rect.top + sign * minimum;
  }
}

void CXRectTracker::StartTracking(int hit, QPoint p) {
  tracking_ = hit;
  press_ = p;
  start_ = rect;
}

bool CXRectTracker::Track(QPoint p) {
  const int hit = HitTest(p);
  if (hit == kNothing) return false;
  StartTracking(hit, p);
  return true;
}

void CXRectTracker::TrackRubberBand(QPoint p) {
  rect = {p.x(), p.y(), p.x(), p.y()};
  StartTracking(kBottomRight, p);
  start_ = rect;
}

bool CXRectTracker::MoveTo(QPoint p) {
  if (!Tracking()) return false;
  const TrackRect before = rect;
  const QPoint d = p - press_;
  rect = start_;
  if (tracking_ == kMiddle) {
    rect = {start_.left + d.x(), start_.top + d.y(), start_.right + d.x(), start_.bottom + d.y()};
  } else {
    const HandleInfo& h = kHandles[tracking_];
    if (h.x) rect.*h.x = start_.*h.x + d.x();
    if (h.y) rect.*h.y = start_.*h.y + d.y();
    AdjustRect(tracking_);
  }
  if (!bounds.Empty()) {
    // Pushed back inside, edge by edge, keeping the size.
    TrackRect& r = rect;
    const TrackRect b = bounds.Normalized();
    auto push = [](int& low, int& high, int boundLow, int boundHigh) {
      int& upper = low > high ? low : high;
      int& lower = low > high ? high : low;
      if (upper > boundHigh) {
        lower -= upper - boundHigh;
        upper = boundHigh;
      }
      if (lower < boundLow) {
        upper += boundLow - lower;
        lower = boundLow;
      }
    };
    push(r.left, r.right, b.left, b.right);
    push(r.top, r.bottom, b.top, b.bottom);
  }
  return !(rect == before);
}

void CXRectTracker::EndTrack(QPoint p) {
  MoveTo(p);
  tracking_ = kNothing;
}

void CXRectTracker::CancelTrack() {
  if (!Tracking()) return;
  rect = start_;
  tracking_ = kNothing;
}

}  // namespace kal
