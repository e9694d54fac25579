#pragma once
// Shaping a window with the X SHAPE extension, in device pixels: the window
// shows, and takes the pointer, only inside the given rectangles; elsewhere
// the windows below show and get the clicks, with or without a compositor.

#include <vector>

struct _XDisplay;

namespace platform {

struct ShapeRect {
  int x = 0;  // window coordinates
  int y = 0;
  int width = 0;
  int height = 0;
};

// Sets both the bounding and the input shape of `window` on `display` (the
// connection the window was made on, so the requests stay in order). False
// when the server has no SHAPE extension.
bool ShapeWindow(_XDisplay* display, unsigned long window, const std::vector<ShapeRect>& rects);

// Changes one part of a shaped window: the bounding and input shapes lose
// `cleared`, then gain `shown` (rectangles inside it, as a canvas redrawn
// in that part shows them). False without the SHAPE extension.
bool ReshapeWindowPart(_XDisplay* display, unsigned long window, const ShapeRect& cleared,
                       const std::vector<ShapeRect>& shown);

// Whether a compositing manager runs on the display's default screen (it
// owns the selection _NET_WM_CM_S<screen>): only then are windows with
// per-pixel alpha shown translucent.
bool CompositorRunning(_XDisplay* display);

}  // namespace platform
