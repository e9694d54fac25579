#include "platform/X11Shape.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace platform {

bool ShapeWindow(_XDisplay* display, unsigned long window, const std::vector<ShapeRect>& rects) {
  int event = 0, error = 0;
  if (!display || !XShapeQueryExtension(display, &event, &error)) return false;
  std::vector<XRectangle> xr;
  xr.reserve(rects.size());
  for (const ShapeRect& r : rects) {
    if (r.width <= 0 || r.height <= 0) continue;
    xr.push_back({static_cast<short>(r.x), static_cast<short>(r.y),
                  static_cast<unsigned short>(r.width), static_cast<unsigned short>(r.height)});
  }
  for (int kind : {ShapeBounding, ShapeInput})
    XShapeCombineRectangles(display, window, kind, 0, 0, xr.data(), static_cast<int>(xr.size()),
                            ShapeSet, Unsorted);
  XFlush(display);
  return true;
}

}  // namespace platform
