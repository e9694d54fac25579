#pragma once
// Sets up what a recording test shows on the private Xvfb display: coloured
// rectangles on the root window, the pointer's place and shape, clicks.

#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace kaltest {

class XTestScreen {
 public:
  // On `display` (nullptr: $DISPLAY).
  explicit XTestScreen(const char* display = nullptr);
  ~XTestScreen();
  XTestScreen(const XTestScreen&) = delete;
  XTestScreen& operator=(const XTestScreen&) = delete;

  bool Ok() const { return dpy_ != nullptr; }
  int Width() const;
  int Height() const;
  void Fill(int x, int y, int w, int h, std::uint32_t rgb);  // 0xRRGGBB
  // The colour (0xRRGGBB) the server shows at (x, y) now.
  std::uint32_t Pixel(int x, int y);
  void WarpPointer(int x, int y);
  // A square cursor of one colour with its hotspot at the top-left corner.
  void SetSolidCursor(int size, std::uint32_t rgb);
  void Click(int button);  // through XTest: 1 left, 3 right
  void Sync();
  // What the server shows in the rectangle, 0xRRGGBB row by row.
  std::vector<std::uint32_t> Capture(int x, int y, int w, int h);
  // A plain window of one colour at (x, y), mapped above the windows there
  // are (a desktop when made first); `Paint` gives it another colour.
  unsigned long AddWindow(int x, int y, int w, int h, std::uint32_t rgb);
  void Paint(unsigned long window, std::uint32_t rgb);

 private:
  unsigned long PixelOf(std::uint32_t rgb);
  Display* dpy_ = nullptr;
  Window root_ = 0;
  GC gc_ = nullptr;
  Cursor cursor_ = 0;
};

// Keeps the screen changing (small random squares, 50 times a second) so
// that the encoder has something to write.
class MovingContent {
 public:
  MovingContent();
  ~MovingContent();
  MovingContent(const MovingContent&) = delete;
  MovingContent& operator=(const MovingContent&) = delete;

 private:
  void Paint();
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kaltest
