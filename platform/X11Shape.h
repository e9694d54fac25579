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

}  // namespace platform
