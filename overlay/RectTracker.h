#pragma once
// CXRectTracker: a rectangle with eight resize handles, as the region
// selection uses it. The rectangle may be inverted while it is dragged (a
// corner pulled past the opposite edge); the handle held then becomes the
// mirrored one. Drags keep a minimum size of twice the border width, stay
// inside the bounding rectangle, and can be cancelled (Escape, right
// button), which restores the rectangle of the drag's start. Coordinates
// are device pixels.

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <Qt>

class QPainter;

namespace kal {

// left/top/right/bottom, right and bottom exclusive; may be inverted.
struct TrackRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return Width() == 0 || Height() == 0; }
  TrackRect Normalized() const;
  QRect ToQRect() const { return Normalized().AsQRect(); }
  QRect AsQRect() const { return {left, top, Width(), Height()}; }
  bool operator==(const TrackRect&) const = default;
};

class CXRectTracker {
 public:
  // Hit codes.
  enum Hit : int {
    kNothing = -1,
    kTopLeft = 0,
    kTopRight = 1,
    kBottomRight = 2,
    kBottomLeft = 3,
    kTop = 4,
    kRight = 5,
    kBottom = 6,
    kLeft = 7,
    kMiddle = 8,
  };
  static constexpr int kBorderWidth = 4;
  static constexpr QRgb kColor = 0xFF28A3EE;  // RGB(40, 163, 238)

  TrackRect rect;
  TrackRect bounds;  // empty: no bounds

  virtual ~CXRectTracker() = default;
  virtual int GetHandleSize() const;
  virtual unsigned GetHandleMask() const;
  virtual void AdjustRect(int hit);

  int HitTest(QPoint p) const;
  // The handle `hit` is on the screen when the rectangle is inverted.
  int NormalizeHit(int hit) const;
  QRect GetHandleRect(int hit) const;
  // The cursor for a point over the rectangle; false when over nothing.
  bool CursorFor(QPoint p, Qt::CursorShape& shape) const;
  // The one-pixel outline 3 pixels outside the rectangle and its handles.
  void Draw(QPainter& painter) const;

  // A drag: Track starts one at a handle or the middle (false when `p` hits
  // nothing), TrackRubberBand one that draws a new rectangle from `p`.
  bool Track(QPoint p);
  void TrackRubberBand(QPoint p);
  bool Tracking() const { return tracking_ != kNothing; }
  // While tracking: the pointer moved to `p`; true when the rectangle changed.
  bool MoveTo(QPoint p);
  void EndTrack(QPoint p);
  void CancelTrack();

 private:
  void StartTracking(int hit, QPoint p);
  int tracking_ = kNothing;
  QPoint press_;
  TrackRect start_;
};

}  // namespace kal
