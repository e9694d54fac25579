#pragma once
// X errors must never end the process (Xlib's default handler exits). Our
// handler records the last error per connection; a trap scopes a request.

#include <X11/Xlib.h>

namespace platform {

// Installs the recording handler once per process; safe to call often.
void InstallX11ErrorHandler();

// Ok() flushes the connection and tells whether an error arrived on `dpy`
// since the trap was made.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* dpy);
  bool Ok();

 private:
  Display* dpy_;
  unsigned long startSerial_;
};

}  // namespace platform
