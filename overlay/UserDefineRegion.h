#pragma once
// CUserDefineRegion: the region selection. A window over a frozen picture of
// the monitor under the cursor. While nothing is chosen the window under the
// cursor is framed in blue and the rest darkened; a click takes that
// window's rectangle, a drag draws a new one, and the tracker's handles and
// inside resize and move it. An information panel with a magnifier shows
// the position and size. A double click stores the region and tells the
// main window; Escape while nothing is dragged leaves without storing.

#include <QImage>
#include <QPoint>
#include <QRect>

#include <vector>

#include "ui/DevicePixels.h"
#include "overlay/RectTracker.h"
#include "platform/X11WindowList.h"
#include "ui/WindowImplBase.h"

namespace kal {

class CUserDefineRegion : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr int kMagnifier = 72;  // side of the magnifier, device pixels

  CUserDefineRegion();
  // Takes the pictures of the monitor under the cursor and covers it. False
  // when the screen could not be read.
  bool Open();
  // Device pixels, root coordinates.
  QRect Selection() const { return tracker_.rect.ToQRect(); }

  // What a double click stores for `selection` on a monitor `screen`: the
  // screen when the selection is smaller than 3 x 3 or larger than it, and
  // sizes rounded up to even.
  static QRect StoredRegion(const QRect& selection, const QRect& screen);

 protected:
  QString ClassName() const override { return "CUserDefineRegion"; }
  void OnPaint(QPainter& painter, const QRegion& damaged) override;
  void OnMouse(QMouseEvent* e) override;
  void OnKey(QKeyEvent* e) override;

 private:
  void Shade(QPainter& p, const QRect& keep) const;
  void DrawPanel(QPainter& p) const;
  void Confirm();
  void Leave();
  DevicePixels pixels_;
  QRect screen_;      // the monitor covered
  QImage snapshot_;   // its picture, device pixels
  std::vector<platform::WindowEntry> windows_;
  CXRectTracker tracker_;
  QRect hovered_;
  QPoint last_;       // where the button went down or the last move
  QPoint mouse_;      // for the magnifier
  bool buttonDown_ = false;
  bool bandPending_ = false;
};

}  // namespace kal
