#include "platform/X11Shape.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <string>

namespace platform {
namespace {

bool HasShape(Display* display) {
  int event = 0, error = 0;
  return display && XShapeQueryExtension(display, &event, &error);
}

std::vector<XRectangle> ToX(const std::vector<ShapeRect>& rects) {
  std::vector<XRectangle> xr;
  xr.reserve(rects.size());
  for (const ShapeRect& r : rects) {
    if (r.width <= 0 || r.height <= 0) continue;
    xr.push_back({static_cast<short>(r.x), static_cast<short>(r.y),
                  static_cast<unsigned short>(r.width), static_cast<unsigned short>(r.height)});
  }
  return xr;
}

}  // namespace

bool ShapeWindow(_XDisplay* display, unsigned long window, const std::vector<ShapeRect>& rects) {
  if (!HasShape(display)) return false;
  std::vector<XRectangle> xr = ToX(rects);
  for (int kind : {ShapeBounding, ShapeInput})
    XShapeCombineRectangles(display, window, kind, 0, 0, xr.data(), static_cast<int>(xr.size()),
                            ShapeSet, Unsorted);
  XFlush(display);
  return true;
}

bool ReshapeWindowPart(_XDisplay* display, unsigned long window, const ShapeRect& cleared,
                       const std::vector<ShapeRect>& shown) {
  if (!HasShape(display)) return false;
  std::vector<XRectangle> gone = ToX({cleared});
  std::vector<XRectangle> xr = ToX(shown);
  for (int kind : {ShapeBounding, ShapeInput}) {
    XShapeCombineRectangles(display, window, kind, 0, 0, gone.data(), static_cast<int>(gone.size()),
                            ShapeSubtract, Unsorted);
    if (!xr.empty())
      XShapeCombineRectangles(display, window, kind, 0, 0, xr.data(), static_cast<int>(xr.size()),
                              ShapeUnion, YXBanded);
  }
  XFlush(display);
  return true;
}

bool CompositorRunning(_XDisplay* display) {
  if (!display) return false;
  const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  const Atom selection = XInternAtom(display, name.c_str(), False);
  return XGetSelectionOwner(display, selection) != None;
}

}  // namespace platform
