#include "platform/X11PointerGrab.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>

namespace platform {
namespace {
constexpr unsigned kEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
}

unsigned long X11PointerGrab::CursorFor(bool cross) {
  unsigned long& c = cross ? crossCursor_ : arrowCursor_;
  if (!c) c = XCreateFontCursor(cursorDisplay_, cross ? XC_crosshair : XC_left_ptr);
  return c;
}

void X11PointerGrab::FreeCursors() {
  if (crossCursor_) XFreeCursor(cursorDisplay_, crossCursor_);
  if (arrowCursor_) XFreeCursor(cursorDisplay_, arrowCursor_);
  crossCursor_ = arrowCursor_ = 0;
}

bool X11PointerGrab::Grab(_XDisplay* display, unsigned long window, bool cross) {
  if (!display) return false;
  if (cursorDisplay_ != display) {
    if (cursorDisplay_) FreeCursors();
    cursorDisplay_ = display;
  }
  const int result = XGrabPointer(display, window, False, kEvents, GrabModeAsync, GrabModeAsync,
                                  None, CursorFor(cross), CurrentTime);
  XFlush(display);
  display_ = result == GrabSuccess ? display : nullptr;
  return display_ != nullptr;
}

void X11PointerGrab::SetCross(bool cross) {
  if (!display_) return;
  XChangeActivePointerGrab(display_, kEvents, CursorFor(cross), CurrentTime);
  XFlush(display_);
}

void X11PointerGrab::Release() {
  if (display_) {
    XUngrabPointer(display_, CurrentTime);
    XFlush(display_);
    display_ = nullptr;
  }
  if (cursorDisplay_) FreeCursors();
  cursorDisplay_ = nullptr;
}

}  // namespace platform
