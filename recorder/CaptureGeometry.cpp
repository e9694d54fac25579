#include "recorder/CaptureGeometry.h"

#include <algorithm>

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

FollowPlacement PlaceFollowWindow(int cx, int cy, int w, int h, int screenW, int screenH) {
  const int hw = w / 2;
  const int hh = h / 2;
  FollowPlacement p;
  p.left = cx - hw;
  if (p.left < 0) {
    p.left = 0;
    p.pictureX = cx;
  } else {
    p.pictureX = hw;
  }
  p.top = cy - hh;
  if (p.top < 0) {
    p.top = 0;
    p.pictureY = cy;
  } else {
    p.pictureY = hh;
  }
  if (cx + hw > screenW) {
    p.left = screenW - w;
    p.pictureX = w - screenW + cx;
  }
  if (cy + hh > screenH) {
    p.top = screenH - h;
    p.pictureY = h - screenH + cy;
  }
  return p;
}

}  // namespace kal
