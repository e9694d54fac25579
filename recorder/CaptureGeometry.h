#pragma once
// Where the recorded rectangle lies on the screen.

namespace kal {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// A user-defined region made safe to grab and encode: sizes rounded down to
// even numbers (4:2:0 pictures need them), at least 2x2, no larger than the
// screen, and moved inside the screen.
Rect FitRegion(Rect region, int screenWidth, int screenHeight);

// The follow-the-cursor window for one picture: its top-left corner on the
// screen and the cursor's position inside it.
struct FollowPlacement {
  int left = 0;
  int top = 0;
  int pictureX = 0;
  int pictureY = 0;
};
FollowPlacement PlaceFollowWindow(int cursorX, int cursorY, int videoWidth, int videoHeight,
                                  int screenWidth, int screenHeight);

}  // namespace kal
