#pragma once
// An active pointer grab for a window that must see every click on the
// screen while parts of it are shaped away (a drawing canvas over the live
// screen): the X server delivers input only inside a window's shape, so
// without the grab a click beside a drawing would reach the window below.
// Every pointer event goes to the grabbing window, the program's own other
// windows included: release the grab while the pointer is over one of them
// that must take its own clicks. The keyboard is never grabbed: global
// hotkeys must keep working.

struct _XDisplay;

namespace platform {

class X11PointerGrab {
 public:
  X11PointerGrab() = default;
  ~X11PointerGrab() { Release(); }
  X11PointerGrab(const X11PointerGrab&) = delete;
  X11PointerGrab& operator=(const X11PointerGrab&) = delete;

  // Grabs the pointer for `window` (again, if held: X may have ended it)
  // with a cross or an arrow cursor. False when another client holds a grab
  // (try again later).
  bool Grab(_XDisplay* display, unsigned long window, bool cross);
  // Changes the cursor of a grab that is held.
  void SetCross(bool cross);
  void Release();
  bool Held() const { return display_ != nullptr; }

 private:
  unsigned long CursorFor(bool cross);
  void FreeCursors();
  _XDisplay* display_ = nullptr;
  _XDisplay* cursorDisplay_ = nullptr;
  unsigned long crossCursor_ = 0;
  unsigned long arrowCursor_ = 0;
};

}  // namespace platform
