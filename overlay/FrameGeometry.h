#pragma once
// The geometry of the region frame and its toolbar, apart from any window:
// which grip of the frame the pointer is on, how a drag changes the frame,
// and how the frame maps to the stored region. All rectangles are device
// pixels in root-window coordinates; QRect is used as (x, y, width, height).

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kal {

// The frame is the recorded region grown by this on every side; its red
// bars fill that margin, so they are never part of the picture.
inline constexpr int kFrameBorder = 3;
// No edge of the frame comes closer than this to the opposite one.
inline constexpr int kFrameMinimum = 20;
// How near an edge the pointer must be to take it.
inline constexpr int kGripTolerance = 5;

enum class FrameGrip {
  kNone = 0,
  kTop = 1,
  kBottom = 2,
  kLeft = 3,
  kRight = 4,
  kTopLeft = 5,
  kTopRight = 6,
  kBottomLeft = 7,
  kBottomRight = 8,
  kMove = 9,
};

// The grip under `p`, tested edges first, then corners, then the inside.
FrameGrip HitGrip(const QRect& frame, QPoint p);

// A drag of one grip: the frame follows the pointer's offset from the press,
// keeps kFrameMinimum in both directions and stays inside `bounds`.
struct FrameDrag {
  FrameGrip grip = FrameGrip::kNone;
  QPoint press;
  QRect start;
  QRect To(QPoint p, const QRect& bounds) const;
};

// The frame around a stored region, and the region (even sizes) inside a
// frame.
QRect FrameAround(const QRect& region);
QRect RegionInside(const QRect& frame);
// The frame shown when no region is stored: the middle quarter of `screen`.
QRect DefaultFrame(const QRect& screen);

// Where the toolbar of `height` goes: directly above the frame, as wide as
// it; below the frame when there is no room above (so it never covers the
// region).
QRect ToolbarPlace(const QRect& frame, int height, const QRect& bounds);
// The frame after the toolbar above it is dragged by `offset` from where
// the frame was at the press: the frame follows, stays on the screen and
// leaves room above it for the toolbar (which stops at the screen's top).
QRect FrameAfterToolbarDrag(const QRect& start, QPoint offset, int toolbarHeight,
                            const QRect& bounds);

// A place for a box of `size` that keeps it off the frame and the toolbar:
// `wanted` when it is clear of them, else the first of right of the frame,
// left of it, below it and above the toolbar that fits inside `bounds`;
// `wanted` when none does.
QPoint KeepClearOf(const QRect& frame, const QRect& toolbar, QPoint wanted, QSize size,
                   const QRect& bounds);

}  // namespace kal
