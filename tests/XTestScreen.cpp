#include "XTestScreen.h"

#include <chrono>
#include <random>

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <vector>

#include "platform/X11Errors.h"

namespace kaltest {

XTestScreen::XTestScreen(const char* display) {
  platform::InstallX11ErrorHandler();
  dpy_ = XOpenDisplay(display);
  if (!dpy_) return;
  root_ = DefaultRootWindow(dpy_);
  gc_ = XCreateGC(dpy_, root_, 0, nullptr);
  XSetSubwindowMode(dpy_, gc_, IncludeInferiors);
}

XTestScreen::~XTestScreen() {
  if (!dpy_) return;
  if (cursor_) {
    XUndefineCursor(dpy_, root_);
    XFreeCursor(dpy_, cursor_);
  }
  XFreeGC(dpy_, gc_);
  XCloseDisplay(dpy_);
}

int XTestScreen::Width() const { return DisplayWidth(dpy_, DefaultScreen(dpy_)); }
int XTestScreen::Height() const { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }

// The pixel value of the colour in the screen's own format.
unsigned long XTestScreen::PixelOf(std::uint32_t rgb) {
  XColor c{};
  c.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
  c.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
  c.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
  c.flags = DoRed | DoGreen | DoBlue;
  XAllocColor(dpy_, DefaultColormap(dpy_, DefaultScreen(dpy_)), &c);
  return c.pixel;
}

std::vector<std::uint32_t> XTestScreen::Capture(int x, int y, int w, int h) {
  std::vector<std::uint32_t> out;
  XImage* image = XGetImage(dpy_, root_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
  if (!image) return out;
  out.reserve(static_cast<size_t>(w) * h);
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col)
      out.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row)) & 0xFFFFFFu);
  XDestroyImage(image);
  return out;
}

unsigned long XTestScreen::AddWindow(int x, int y, int w, int h, std::uint32_t rgb) {
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = PixelOf(rgb);
  const Window win = XCreateWindow(dpy_, root_, x, y, static_cast<unsigned>(w),
                                   static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(dpy_, win);
  Sync();
  return win;
}

void XTestScreen::Paint(unsigned long window, std::uint32_t rgb) {
  XSetWindowBackground(dpy_, window, PixelOf(rgb));
  XClearWindow(dpy_, window);
  Sync();
}

void XTestScreen::Fill(int x, int y, int w, int h, std::uint32_t rgb) {
  XSetForeground(dpy_, gc_, PixelOf(rgb));
  XFillRectangle(dpy_, root_, gc_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  Sync();
}

std::uint32_t XTestScreen::Pixel(int x, int y) {
  XImage* image = XGetImage(dpy_, root_, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFFu;
  const std::uint32_t value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
  XDestroyImage(image);
  return value;
}

void XTestScreen::WarpPointer(int x, int y) {
  XWarpPointer(dpy_, None, root_, 0, 0, 0, 0, x, y);
  Sync();
}

void XTestScreen::SetSolidCursor(int size, std::uint32_t rgb) {
  const int bytesPerRow = (size + 7) / 8;
  std::vector<char> bits(static_cast<size_t>(bytesPerRow) * size, static_cast<char>(0xFF));
  Pixmap source = XCreateBitmapFromData(dpy_, root_, bits.data(), static_cast<unsigned>(size),
                                        static_cast<unsigned>(size));
  XColor fg{};
  fg.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
  fg.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
  fg.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
  fg.flags = DoRed | DoGreen | DoBlue;
  XColor bg = fg;
  if (cursor_) XFreeCursor(dpy_, cursor_);
  cursor_ = XCreatePixmapCursor(dpy_, source, source, &fg, &bg, 0, 0);
  XFreePixmap(dpy_, source);
  XDefineCursor(dpy_, root_, cursor_);
  Sync();
}

void XTestScreen::Click(int button) {
  XTestFakeButtonEvent(dpy_, static_cast<unsigned>(button), True, CurrentTime);
  XTestFakeButtonEvent(dpy_, static_cast<unsigned>(button), False, CurrentTime);
  Sync();
}

void XTestScreen::Sync() { XSync(dpy_, False); }

MovingContent::MovingContent() : thread_([this] { Paint(); }) {}

MovingContent::~MovingContent() {
  stop_ = true;
  thread_.join();
}

void MovingContent::Paint() {
  XTestScreen screen;
  std::mt19937 rng(7);
  while (!stop_) {
    for (int i = 0; i < 200; ++i)
      screen.Fill(static_cast<int>(rng() % 1900), static_cast<int>(rng() % 1060), 20, 20,
                  rng() & 0xFFFFFF);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace kaltest
