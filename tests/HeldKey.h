#pragma once
// Another X client holding Alt+`keysym` (with every lock key), as a program
// that took the key first would; let go when it ends.

#include <X11/Xlib.h>

namespace kaltest {

class HeldKey {
 public:
  explicit HeldKey(KeySym keysym) : dpy_(XOpenDisplay(nullptr)) {
    if (!dpy_) return;
    const KeyCode code = XKeysymToKeycode(dpy_, keysym);
    for (const unsigned lock : {0u, unsigned{Mod2Mask}, unsigned{LockMask}, unsigned{Mod2Mask | LockMask}})
      XGrabKey(dpy_, code, Mod1Mask | lock, DefaultRootWindow(dpy_), False, GrabModeAsync, GrabModeAsync);
    XSync(dpy_, False);
  }
  ~HeldKey() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;
  bool Ok() const { return dpy_ != nullptr; }

 private:
  Display* dpy_;
};

}  // namespace kaltest
