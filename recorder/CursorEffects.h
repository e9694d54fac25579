#pragma once
// Mouse effects burnt into each grabbed picture: a translucent highlight disc
// around the cursor, animated click ripples and the cursor itself. Drawn with
// QPainter straight onto the grab buffer. One object per reader thread.

#include <cstdint>
#include <list>

#include "config/ColorRef.h"
#include "platform/X11Screen.h"

namespace kal {

struct CursorEffectSettings {
  bool drawCursor = true;
  bool ripples = false;
  bool highlight = false;
  Rgb leftColor{255, 0, 0};
  Rgb rightColor{0, 255, 0};
  Rgb highlightColor{255, 255, 0};
  int highlightWidth = 56;
  int highlightHeight = 56;
  int highlightHalfWidth = 28;
  int highlightHalfHeight = 28;
  int frameRate = 24;
};

struct ClickRipple {
  bool done = false;
  int button = 0;  // 0 left, 1 right
  int centreX = 0;
  int centreY = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int steps = 0;
  int alpha = 0;
};

class CursorEffects {
 public:
  explicit CursorEffects(const CursorEffectSettings& settings) : s_(settings) {}

  // Draws onto a BGRX picture (top-down rows of `stride` bytes) with the
  // cursor at picture position (px, py). Nothing is drawn, no ripple made or
  // animated, and the click flags stay set while the cursor is outside the
  // picture (both edges included).
  void Draw(std::uint8_t* pixels, int width, int height, int stride, int px, int py,
            const platform::CursorImage& cursor);

  const std::list<ClickRipple>& Ripples() const { return ripples_; }

  // Growth in pixels per picture of a ripple's box, by frame rate.
  static int RippleGrowth(int frameRate);

 private:
  bool AnyEffect() const { return s_.drawCursor || s_.ripples || s_.highlight; }
  CursorEffectSettings s_;
  std::list<ClickRipple> ripples_;
};

}  // namespace kal
