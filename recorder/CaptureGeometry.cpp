#include "recorder/CaptureGeometry.h"

#include <algorithm>
#include <utility>

namespace kal {

Rect FitRegion(Rect r, int screenWidth, int screenHeight) {
  const int maxW = std::max(2, screenWidth & ~1);
  const int maxH = std::max(2, screenHeight & ~1);
  r.width = std::clamp(r.width & ~1, 2, maxW);
  r.height = std::clamp(r.height & ~1, 2, maxH);
  r.x = std::clamp(r.x, 0, std::max(0, screenWidth - r.width));
  r.y = std::clamp(r.y, 0, std::max(0, screenHeight - r.height));
  return r;
}

namespace {

// One axis of the follow window: its start on the screen and the cursor's
// position inside it.
std::pair<int, int> PlaceAxis(int cursor, int size, int screen) {
  const int half = size / 2;
  int start = cursor - half;
  int inside = half;
  if (start < 0) {
    start = 0;
    inside = cursor;
  }
  if (cursor + half > screen) {
    start = screen - size;
    inside = size - screen + cursor;
  }
  return {start, inside};
}

}  // namespace

FollowPlacement PlaceFollowWindow(int cx, int cy, int w, int h, int screenW, int screenH) {
  const auto [left, pictureX] = PlaceAxis(cx, w, screenW);
  const auto [top, pictureY] = PlaceAxis(cy, h, screenH);
  return {left, top, pictureX, pictureY};
}

}  // namespace kal
