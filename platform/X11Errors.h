#pragma once
// X errors must never end the process (Xlib's default handler exits). Our
// handler records the last error per connection; a trap scopes a request.

#include <X11/Xlib.h>

namespace platform {

// Installs the recording handler once per process; safe to call often.
void InstallX11ErrorHandler();

// A lost connection to the X server (the server ended) must not end the
// process either: Xlib would call exit() from whichever thread noticed,
// in the middle of a recording. After this, requests on `dpy` fail once its
// connection is gone, and ConnectionLost(dpy) says so.
void SurviveConnectionLoss(Display* dpy);
bool ConnectionLost(Display* dpy);
// Forgets `dpy` (call before closing it).
void ForgetConnection(Display* dpy);

// Called once when a connection that is not ours (the toolkit's) loses its
// server, before Xlib ends the process: the program's last chance to
// complete what it is writing. Any thread.
void OnFatalConnectionLoss(void (*handler)());

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
