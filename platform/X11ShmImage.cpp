#include "platform/X11ShmImage.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/X11Errors.h"

namespace platform {
namespace {

// Client side only.
void Release(ShmImage& img) {
  if (img.image) {
    img.image->data = nullptr;  // shared memory is not malloc'ed
    XDestroyImage(img.image);
  }
  if (img.shm.shmaddr && img.shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(img.shm.shmaddr);
  img = {};
}

}  // namespace

bool CreateShmImage(Display* dpy, Visual* visual, int depth, int width, int height, ShmImage& out) {
  out = {};
  out.image = XShmCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &out.shm,
                              static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (!out.image) return false;
  out.shm.shmid =
      shmget(IPC_PRIVATE, static_cast<size_t>(out.image->bytes_per_line) * height, IPC_CREAT | 0600);
  if (out.shm.shmid < 0) {
    Release(out);
    return false;
  }
  out.shm.shmaddr = out.image->data = static_cast<char*>(shmat(out.shm.shmid, nullptr, 0));
  out.shm.readOnly = False;
  X11ErrorTrap trap(dpy);
  const bool attached = out.shm.shmaddr != reinterpret_cast<char*>(-1) &&
                        XShmAttach(dpy, &out.shm) && trap.Ok();
  // Marked for removal now, so the segment goes away with the last detach
  // even if this process is killed.
  shmctl(out.shm.shmid, IPC_RMID, nullptr);
  if (!attached) Release(out);
  return attached;
}

void FreeShmImage(Display* dpy, ShmImage& img) {
  if (img.image && dpy && !ConnectionLost(dpy)) {
    XShmDetach(dpy, &img.shm);
    XSync(dpy, False);
  }
  Release(img);
}

}  // namespace platform
