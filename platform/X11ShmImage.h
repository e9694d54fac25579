#pragma once
// An XImage in a shared-memory segment attached to the X server (MIT-SHM):
// XShmGetImage writes a grab into it without sending it through the socket.

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

namespace platform {

struct ShmImage {
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
};

// Creates and attaches an image for width x height pictures of the given
// visual and depth. False, with nothing left behind, when the server or
// the system refuses.
bool CreateShmImage(Display* dpy, Visual* visual, int depth, int width, int height, ShmImage& out);
// Detaches it from the server when `dpy` is given and still connected (a
// closed connection lets go by itself), and frees it.
void FreeShmImage(Display* dpy, ShmImage& img);

}  // namespace platform
