#include "platform/X11SharedPictures.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <mutex>
#include <vector>

#include "platform/X11Errors.h"
#include "platform/X11Screen.h"

namespace platform {

struct X11SharedPictures::Segment {
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  std::shared_ptr<FreeList> home;

  // Client side only: the server lets go of the segment when it is
  // detached or the connection closes, and the kernel frees it then.
  ~Segment() {
    if (image) {
      image->data = nullptr;  // shared memory is not malloc'ed
      XDestroyImage(image);
    }
    if (shm.shmaddr && shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(shm.shmaddr);
  }
};

// Shared by the pool and every picture out, so a picture given back after
// the pool is gone still finds where to go.
struct X11SharedPictures::FreeList {
  std::mutex lock;
  std::vector<Segment*> segments;
  bool closed = false;
};

X11SharedPictures::X11SharedPictures(X11Screen& screen, int width, int height)
    : screen_(screen), width_(width), height_(height), free_(std::make_shared<FreeList>()) {
  usable_ = screen.Handles().shm && screen.BitsPerPixel() == 32;
  if (!usable_) return;
  // One made now, so that a server that refuses shared memory (a remote
  // one) is known before the recording starts.
  Segment* first = Make();
  usable_ = first != nullptr;
  if (first) free_->segments.push_back(first);
}

X11SharedPictures::~X11SharedPictures() {
  std::vector<Segment*> segments;
  {
    std::lock_guard<std::mutex> lock(free_->lock);
    free_->closed = true;
    segments.swap(free_->segments);
  }
  auto* dpy = static_cast<Display*>(screen_.Handles().display);
  for (Segment* s : segments) {
    if (dpy && !ConnectionLost(dpy)) XShmDetach(dpy, &s->shm);
    delete s;
  }
  if (dpy && !ConnectionLost(dpy)) XSync(dpy, False);
}

X11SharedPictures::Segment* X11SharedPictures::Make() {
  const X11Screen::Native n = screen_.Handles();
  auto* dpy = static_cast<Display*>(n.display);
  if (!dpy || ConnectionLost(dpy)) return nullptr;
  auto s = std::make_unique<Segment>();
  s->home = free_;
  s->image = XShmCreateImage(dpy, static_cast<Visual*>(n.visual), static_cast<unsigned>(n.depth),
                             ZPixmap, nullptr, &s->shm, static_cast<unsigned>(width_),
                             static_cast<unsigned>(height_));
  if (!s->image) return nullptr;
  s->shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(s->image->bytes_per_line) * height_,
                        IPC_CREAT | 0600);
  if (s->shm.shmid < 0) return nullptr;
  s->shm.shmaddr = s->image->data = static_cast<char*>(shmat(s->shm.shmid, nullptr, 0));
  s->shm.readOnly = False;
  X11ErrorTrap trap(dpy);
  const bool attached =
      s->shm.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(dpy, &s->shm) && trap.Ok();
  // Marked for removal now, so the segment goes away with the last detach
  // even if this process is killed.
  shmctl(s->shm.shmid, IPC_RMID, nullptr);
  return attached ? s.release() : nullptr;
}

bool X11SharedPictures::Grab(int x, int y, Picture& out) {
  if (!usable_) return false;
  Segment* s = nullptr;
  {
    std::lock_guard<std::mutex> lock(free_->lock);
    if (!free_->segments.empty()) {
      s = free_->segments.back();
      free_->segments.pop_back();
    }
  }
  if (!s && !(s = Make())) return false;
  auto* dpy = static_cast<Display*>(screen_.Handles().display);
  if (ConnectionLost(dpy) ||
      !XShmGetImage(dpy, static_cast<Window>(screen_.Handles().root), s->image, x, y, AllPlanes)) {
    GiveBack(s);
    return false;
  }
  out.data = reinterpret_cast<std::uint8_t*>(s->image->data);
  out.bytesPerLine = s->image->bytes_per_line;
  out.token = s;
  return true;
}

void X11SharedPictures::GiveBack(void* token) {
  auto* s = static_cast<Segment*>(token);
  std::shared_ptr<FreeList> home = s->home;
  {
    std::lock_guard<std::mutex> lock(home->lock);
    if (!home->closed) {
      home->segments.push_back(s);
      return;
    }
  }
  delete s;
}

}  // namespace platform
